"""Shared user-interface pieces for the host application, written in C++ on Qt 6.

Importing the module defines nineteen classes. The host must have created its global services
(application state, configuration, icons, notifier, logging) before it imports ``shared_ui``,
and the host's ``velmora`` and ``velmoracore`` packages must be importable: the module binds
their names when it loads and raises ``ImportError`` when one is missing. The module may be
loaded into one interpreter per process only.

Every widget is created on the GUI thread with a Qt parent and belongs to that parent. Durations
are integers in milliseconds. Dark mode is the truth value of ``app_state_glbl.is_dark_mode``,
read when a colour is chosen; nothing follows a later change of mode.
"""
import logging
from datetime import datetime
from enum import IntEnum
from typing import Any, Callable, ClassVar, Protocol

from PyQt6.QtCharts import QBarSeries, QBarSet, QChart, QChartView, QHorizontalBarSeries
from PyQt6.QtCore import QObject, QRegularExpression, QTimer
from PyQt6.QtGui import (QFont, QFontMetrics, QKeyEvent, QMouseEvent, QSyntaxHighlighter,
                         QTextCharFormat, QTextDocument)
from PyQt6.QtWidgets import (QComboBox, QDialog, QGridLayout, QHBoxLayout, QLabel,
                             QPlainTextEdit, QStatusBar, QWidget)

# The host's names, imported without being re-exported. A checker that can analyse the host's
# packages (the host's own project, or MYPYPATH) sees the host's types through them, and a class
# attribute written `app_state = app_state_glbl` has the type of the host's object; where the
# host cannot be analysed, they are Any.
from velmora.app_conf import app_conf_glbl
from velmora.app_state import app_state_glbl
from velmora.icon_manager import icons_glbl
from velmora.msg_box import MsgBox
from velmora.notifier import notifier_glbl
from velmora.ui_pickvaluesdialog import Ui_PickValuesDialog
from velmora.vlm_thread import VLMThread
from velmoracore.api_def import ModelAPIHeaderMeta, ModelConfig
from velmoracore.api_k8s import ModelMeta, ModelPrefix, ModelVersionInfo, WorkflowService
from velmoracore.cloud_def import K8sRegion
from velmoracore.core_conf import core_conf_glbl
from velmoracore.k8s_console_client import K8sConsoleClient
from velmoracore.model_host_client import ModelHostClient
from velmoracore.util import NumberFormatUtil

__version__: str

class _Numbers(Protocol):
    """Numbers read by position: a list, a tuple or a NumPy array of counts or edges."""

    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> float: ...

_Rule = tuple[QRegularExpression, int, QTextCharFormat]

class MiniHistViewMode(IntEnum):
    """What a mini histogram shows; members compare equal to their integer values."""

    COLUMN_STAT = 0
    """The value distribution and statistics of one column."""
    WS_SAMPLING_STAT = 1
    """The sampling summary: total rows, rows at the backend worker, rows viewed."""

class MiniHistChartView(QChartView):
    """The small bar chart inside a ``MiniHist`` strip.

    It holds one bar series with one bar set: the buckets of a column's histogram or the row
    counts of a sampling summary. Hovering shows a tool tip per bar; in column mode a press
    stores the bar's index in ``current_series_pos`` and calls the host's click handler.
    Its sizes and tool-tip time are the host's ``AppDef.M_HIST_*`` values; its background is
    transparent when the host is in dark mode at construction, white otherwise.
    """

    logger: ClassVar[logging.Logger]
    """The host's application logger (``get_logger(Log.APP)``), shared by all instances."""

    view_mode: MiniHistViewMode
    """What the bars show; ``WS_SAMPLING_STAT`` until the first ``update_chart``."""
    bin_edges: _Numbers
    """Bucket edges, one more than the buckets (``[-1]`` for a sampling summary)."""
    hist_values: _Numbers
    """The bar values in series order (``[-1]`` until the first ``update_chart``)."""
    hist_val_total_count: int
    """The number of values behind the histogram; ``-1`` for a sampling summary."""
    std_val: float
    default_description: str | None
    """The sampling summary's text, shown as the tool tip in sampling mode."""
    on_vlm_click_handler: Callable[[], object] | None
    app_state = app_state_glbl
    current_series_pos: int
    """Index of the bar under the pointer at the last press or column-mode move; may lie
    outside the bars."""
    bar_set: QBarSet
    series: QBarSeries | QHorizontalBarSeries
    """The chart's only series: vertical bars for four or more values, horizontal otherwise."""
    processing_mouse_move: bool
    vlm_number_format_util: NumberFormatUtil

    def __init__(self, chart: QChart, parent: QWidget | None,
                 on_vlm_click_handler: Callable[[], object] | None) -> None:
        """Build the view on ``chart``, which it sizes, frees of margins and legend, and animates.

        ``on_vlm_click_handler`` is called with no arguments when the user presses a bar in
        column mode; it reads the bar from ``current_series_pos``. Reads the host's ``AppDef``
        sizes, ``app_state_glbl`` and ``NumberFormatUtil()``.
        """

    def set_animations_on(self, animations_on: bool) -> None:
        """Switch the chart's animations on (all of them) or off."""

    def update_chart(self, hist_values: _Numbers, bin_edges: _Numbers, hist_val_total_count: int,
                     view_mode: MiniHistViewMode, default_description: str | None = None) -> None:
        """Replace the bars with ``hist_values`` and store the data the hover handlers read.

        Four or more values give vertical bars, fewer give horizontal bars (the first at the
        bottom). ``default_description`` is the tool tip of a sampling summary; leaving it out
        clears the previous one. Raises ``TypeError`` for a value that is not a number, after
        the old bars are gone.
        """

    # Qt's own handlers name their event a0; these take further arguments, and ignore them.
    def mousePressEvent(  # type: ignore[override]
            self, event: QMouseEvent, *args: Any, **kwargs: Any) -> None:
        """In column mode with a click handler: store the pressed bar's index in
        ``current_series_pos`` and call the handler. Errors of the handler propagate."""

    def mouseMoveEvent(  # type: ignore[override]
            self, event: QMouseEvent, *args: Any, **kwargs: Any) -> None:
        """Show the tool tip for the pointer's position, by ``view_mode``."""

    def on_mouse_move_for_sampling_stat(self, event: QMouseEvent) -> None:
        """Set ``default_description``, if any, as the tool tip of the view and its chart."""

    def on_mouse_move_for_column_stat(self, event: QMouseEvent) -> None:
        """Show the bar's range, sample count and share of all values as a rich-text tool tip.

        Outside the bars the tool tip is cleared. Numbers go through the host's
        ``NumberFormatUtil.format_number``. Errors are logged through ``logger`` and not raised.
        """

class MiniHist(QWidget):
    """A compact column-statistics strip: three caption/value pairs, a ``MiniHistChartView``,
    three more pairs.

    The host fills it with ``update_column_stats`` (a histogram with its minimum, quartiles,
    maximum and mean) or ``update_ws_sampling_stats`` (row counts). The pairs are the slots 0 to
    5: left top to bottom, then right top to bottom. Labels are two points smaller than the
    application font; values that are floats go through the host's
    ``NumberFormatUtil(use_less_space=True)``.
    """

    visible_state: bool
    horizontalLayout: QHBoxLayout
    gridLayoutLeft: QGridLayout
    left1Label: QLabel
    left1ValueLabel: QLabel
    left2Label: QLabel
    left2ValueLabel: QLabel
    left3Label: QLabel
    left3ValueLabel: QLabel
    mini_hist_chart_view: MiniHistChartView
    gridLayoutRight: QGridLayout
    right1Label: QLabel
    right1ValueLabel: QLabel
    right2Label: QLabel
    right2ValueLabel: QLabel
    right3Label: QLabel
    right3ValueLabel: QLabel
    vlm_number_format_util: NumberFormatUtil

    def __init__(self, parent: QWidget | None,
                 on_vlm_click_handler: Callable[[], object] | None = None) -> None:
        """Build the empty strip; ``on_vlm_click_handler`` goes to the chart view, which calls
        it with no arguments when the user presses a bar of a column histogram."""

    def isVisible(self) -> bool:
        """Whether the strip has been filled by a statistics update (not whether Qt shows it)."""

    @property
    def view_mode(self) -> MiniHistViewMode:
        """The chart view's mode: what the strip shows now."""

    def set_animations_on(self, animations_on: bool) -> None:
        """Switch the chart's animations on or off."""

    def update_column_stats(self, hist_values: _Numbers, bin_edges: _Numbers,
                            hist_val_total_count: int, min_val: float, p25_val: float,
                            p50_val: float, p75_val: float, max_val: float, avg_val: float,
                            is_boolean_field: bool = False) -> None:
        """Show a column's histogram with its five-number summary and mean.

        ``hist_values`` are the bucket counts and ``bin_edges`` the bucket edges, one more than
        the counts; ``hist_val_total_count`` is the number of values counted (each bar's share in
        the tool tip is taken of it). Then come the minimum, the 25th, 50th and 75th
        percentiles, the maximum, the mean, and whether the column is boolean.

        With all values in the first and last buckets the chart shows just those two bars, and
        the labels the outer edges ("True" and "False" for a boolean column) and the mean; with
        all values in the sixth bucket, one bar and its lower edge (for a boolean column "True"
        when that edge is above 0.5, else "False"). Otherwise every bucket is a bar and the
        labels show Min, 25%, 50%, 75% and Max, with Avg placed by the mean's rank. Switches the
        chart's animation on; the strip is narrower for fewer than three bars.

        Raises ``IndexError`` for empty ``hist_values`` and ``TypeError`` when the mean cannot
        be compared with the percentiles; nothing is caught.
        """

    def update_ws_sampling_stats(self, total_rows: int | None, worker_rows: int | None,
                                 app_rows: int | None,
                                 total_rows_is_estimated: bool | None = True) -> None:
        """Show a sampling summary: the rows of the data set, at the backend worker and viewed.

        ``None`` marks a count that is not known; known counts become horizontal bars and the
        left labels "Viewing", "At worker" and "Total rows", with texts from the host's
        ``NumberFormatUtil.rows_to_text`` (``total_rows_is_estimated`` marks the total; ``None``
        counts as ``True``). The hover tool tip lists the counts in words.
        """

class VLMPythonHighlighter(QSyntaxHighlighter):
    """Colours Python code in a ``QTextDocument``: keywords, operators, brackets, strings,
    comments, numbers, ``self``, the names after ``def`` and ``class``, and triple-double-quoted
    strings over several lines.

    The palette (light or dark, from the host's dark mode at construction) is in ``STYLES``
    and the compiled rules in ``rules``; a later rule wins where matches overlap. A block that
    ends inside a triple-double-quoted string gets state 1, every other non-empty block 0.
    """

    keywords: ClassVar[list[str]]
    """A few type names, then the running interpreter's ``keyword.kwlist``."""
    operators: ClassVar[list[str]]
    """Operator patterns."""
    braces: ClassVar[list[str]]
    """Bracket patterns."""
    STYLES: dict[str, QTextCharFormat]
    """Style name to character format: the palette chosen at construction."""
    tri_double: _Rule
    """The multi-line string's delimiter, block state and format."""
    highlight_triple_string: bool
    """Stored as given; the multi-line strings are coloured either way."""
    rules: list[_Rule]
    """(pattern, capture group, format) in the order they are applied."""

    @staticmethod
    def format_text(color: str, style: str = "") -> QTextCharFormat:
        """A format with the foreground ``color`` (a Qt colour name); bold and/or italic when
        ``style`` contains "bold" or "italic"."""

    def __init__(self, document: QTextDocument | None,
                 highlight_triple_string: bool = False) -> None:
        """Attach to ``document`` and build the palette and the rules. Reads the host's
        ``app_state_glbl.is_dark_mode`` once."""

    def highlightBlock(self, text: str | None) -> None:
        """Colour one block; Qt calls this for every block that changed. Empty blocks are
        left as they are."""

    def match_multiline(self, text: str, delimiter: QRegularExpression, in_state: int,
                        style: QTextCharFormat) -> bool:
        """Colour the block's parts that lie inside strings delimited by ``delimiter`` and set
        the block state to ``in_state`` when the block ends inside one. Returns whether it
        does."""

class VLMHighlighter(QSyntaxHighlighter):
    """Colours filter and formula expressions: column references ``col[...]``, strings,
    numbers, operators, ``and``/``or``/``True``/``False``, parentheses, placeholders
    ``___name___`` and formula function calls such as ``SUM(``.

    No class of the module creates it: the host builds it on the documents it chooses.
    Works like ``VLMPythonHighlighter`` without multi-line strings.
    """

    operators: ClassVar[list[str]]
    braces: ClassVar[list[str]]
    vlm_formula_mode: bool
    STYLES: dict[str, QTextCharFormat]
    rules: list[_Rule]

    @staticmethod
    def format_text(color: str, style: str = "") -> QTextCharFormat:
        """A format with the foreground ``color`` (a Qt colour name); bold and/or italic when
        ``style`` contains "bold" or "italic"."""

    def __init__(self, document: QTextDocument | None, vlm_formula_mode: bool = True,
                 arr_function_name: list[str] | None = None) -> None:
        """Attach to ``document`` and build the palette and the rules.

        With ``vlm_formula_mode`` the placeholders and function calls are coloured too:
        ``arr_function_name`` lists the function names to recognise (case-sensitive, used as
        regular-expression text), or ``None`` for any upper-case name followed by ``(``. Reads
        the host's ``app_state_glbl.is_dark_mode`` once.
        """

    def highlightBlock(self, text: str | None) -> None:
        """Colour one block; Qt calls this for every block that changed."""

class VLMCodeTextEdit(QPlainTextEdit):
    """A plain-text editor for Python code with a ``VLMPythonHighlighter``.

    Courier New, medium weight, six points above the document's default size, no wrapping.
    Indentation is made of blanks in steps of four: Return at the end of a line carries its
    leading blanks over and adds a step after a line that starts with ``def``, ``if``,
    ``else``, ``elif``, ``for``, ``try:``, ``except:`` or ``finally:``; Tab inserts four
    blanks; Backspace on a line of four or more blanks removes four; Home and End stay within
    the line.
    """

    arr_indent_keywords: list[str]
    """Line beginnings after which Return adds a step of indentation."""
    highlighter: VLMPythonHighlighter

    def __init__(self, parent: QWidget | None, highlight_triple_string: bool = False) -> None:
        """Build the editor and its highlighter (``highlight_triple_string`` is passed on)."""

    # Newer PyQt6 stubs let every event handler take None; Qt never passes one, and this handler
    # needs the key (None raises AttributeError).
    def keyPressEvent(self, e: QKeyEvent) -> None:  # type: ignore[override]
        """The indenting keys described on the class; every other key as in ``QPlainTextEdit``."""

class VLMSQLHighlighter(QSyntaxHighlighter):
    """Colours SQL: keywords and common functions (upper case, capitalised or lower case),
    operators, parentheses, quoted strings, numbers and ``--`` comments.

    The palette comes from the host's dark mode at construction; works like
    ``VLMPythonHighlighter`` without multi-line constructs.
    """

    keywords: ClassVar[list[str]]
    """Word patterns, each between ``\\b`` boundaries."""
    operators: ClassVar[list[str]]
    braces: ClassVar[list[str]]
    STYLES: dict[str, QTextCharFormat]
    rules: list[_Rule]

    @staticmethod
    def format_text(color: str, style: str = "") -> QTextCharFormat:
        """A format with the foreground ``color`` (a Qt colour name); bold and/or italic when
        ``style`` contains "bold" or "italic"."""

    def __init__(self, document: QTextDocument | None) -> None:
        """Attach to ``document`` and build the palette and the rules. Reads the host's
        ``app_state_glbl.is_dark_mode`` once."""

    def highlightBlock(self, text: str | None) -> None:
        """Colour one block; Qt calls this for every block that changed."""

class VLMSQLTextEdit(QPlainTextEdit):
    """A plain-text editor for SQL with a ``VLMSQLHighlighter``: Courier New, medium weight,
    three points above the document's default size, no wrapping. Keys behave as in
    ``QPlainTextEdit``."""

    highlighter: VLMSQLHighlighter

    def __init__(self, parent: QWidget | None) -> None:
        """Build the editor and its highlighter."""

class WidgetAnimator:
    """Draws the user's eye to a widget by adding to its style sheet for a while.

    The previous style sheet comes back when the time is up, if the widget still exists and
    is visible then. A ``QGroupBox`` is styled through an ID selector on its object name, so
    its children keep their style. Failures are logged at debug level, never raised.
    """

    logger: ClassVar[logging.Logger]
    """The host's application logger (``get_logger(Log.APP)``)."""
    app_state = app_state_glbl
    """The host's application state, for ``is_dark_mode``."""

    def reset_style_sheet(self, widget: QWidget, original_style_sheet: str = "") -> None:
        """Give ``widget`` the style sheet ``original_style_sheet`` if it still exists and is
        visible."""

    def set_animation_to_widget(self, widget: QWidget, style: str,
                                display_for_msec: int = 3000) -> None:
        """Add the declarations ``style`` to the widget's style sheet (inside its last rule
        block, if it has one) and restore the old style sheet after ``display_for_msec``."""

    def highlight_widget(self, widget: QWidget, highlight_for_msec: int = 3000) -> None:
        """Show the widget's text bold in blue (orange in dark mode) for ``highlight_for_msec``.

        Raises whatever reading the host's ``app_state.is_dark_mode`` raises.
        """

class VLMDialog(QDialog):
    """Base class for the host's dialogs.

    It hands each dialog the host's services, a ``MsgBox`` and a ``WidgetAnimator``, and
    offers font changes in one call, white combo-box text in dark mode and highlighting.
    """

    logger: ClassVar[logging.Logger]
    """The host's application logger (``get_logger(Log.APP)``)."""
    app_state = app_state_glbl
    """The host's ``app_state_glbl``."""
    core_conf = core_conf_glbl
    """The host's ``core_conf_glbl``, for derived dialogs."""
    app_conf = app_conf_glbl
    """The host's ``app_conf_glbl``, for derived dialogs."""
    icons = icons_glbl
    """The host's ``icons_glbl``, for derived dialogs."""
    notifier = notifier_glbl
    """The host's ``notifier_glbl``, for derived dialogs."""
    parent: QWidget | None  # type: ignore[assignment]
    """The parent widget given to ``__init__``: on these dialogs ``parent`` is a value, not
    the method ``QObject.parent()``."""
    msg_box: MsgBox
    """The host's message-box helper, bound to this dialog."""
    widget_animator: WidgetAnimator

    def __init__(self, parent: QWidget | None) -> None:
        """Build the dialog with its ``MsgBox(self)`` and its own ``WidgetAnimator``."""

    def fix_dark_mode(self, combo_widget: QComboBox) -> None:
        """In dark mode, replace the combo box's style sheet with white text; in light mode do
        nothing. Errors are logged, not raised."""

    @staticmethod
    def change_font_size(widget: QWidget, increment_size: int | None = None,
                         decrement_size: int | None = None, is_bold: bool | None = None,
                         family: str | None = None, weight: QFont.Weight | None = None,
                         is_italic: bool | None = None) -> None:
        """``FontHelper.change_font_size``, offered on the dialogs."""

    def highlight_widget(self, widget: QWidget, highlight_for_msec: int = 3000) -> None:
        """``WidgetAnimator.highlight_widget`` through the dialog's animator; errors are logged
        with the widget's object name, not raised."""

class FontHelper:
    """Changes a widget's font in one call; needs no dialog."""

    @staticmethod
    def change_font_size(widget: QWidget, increment_size: int | None = None,
                         decrement_size: int | None = None, is_bold: bool | None = None,
                         family: str | None = None, weight: QFont.Weight | None = None,
                         is_italic: bool | None = None) -> None:
        """Give ``widget`` a copy of its font with the given changes; ``None`` leaves a
        property alone.

        Applied in the order italic, weight, family, bold (so ``is_bold`` decides the weight
        when both are given), then the point size up by ``increment_size`` and down by
        ``decrement_size``. Errors are logged as a warning through the host's logger and leave
        the font unchanged.
        """

class PickAnyValueDialog(VLMDialog):
    """A dialog in which the user ticks any of a list of texts.

    Its form is the host's ``Ui_PickValuesDialog`` (imported from
    ``velmora.ui_pickvaluesdialog`` when a dialog is built), whose ``listWidget`` holds one
    checkable item per text. Show it and read the result with the usual ``QDialog`` calls.
    """

    ui: Ui_PickValuesDialog

    def __init__(self, parent: QWidget | None, text_list: list[str],
                 title: str | None = None) -> None:
        """Set the host's form up on the dialog and list ``text_list``, all unticked.

        A non-empty ``title`` replaces the form's window title. Raises ``ImportError`` when
        the host's form class cannot be imported.
        """

    def get_selected_items(self) -> list[str]:
        """The ticked texts, in list order."""

class VLMFloatingLabel(QLabel):
    """The label ``VLMStatusBar`` floats over its window's bottom-right corner; a click hides it."""

    # QLabel's own handler names its event ev.
    def mousePressEvent(  # pyright: ignore[reportIncompatibleMethodOverride]
            self, event: QMouseEvent | None) -> None:
        """Hide the label (its text stays)."""

class VLMStatusBar(QStatusBar):
    """A status bar that shows one timed message at a time and hides itself afterwards.

    A message goes into the bar (in a right-aligned label) or into a ``VLMFloatingLabel`` over
    the bottom-right corner of the window. Every message moves the common deadline; the first
    poll of the timer after it clears every message and hides the bar and the label. The bar
    hides itself only while the host's ``app_state_glbl`` is not ``None``.
    """

    logger: ClassVar[logging.Logger]
    """The host's application logger (``get_logger(Log.APP)``)."""
    app_state = app_state_glbl
    status_label: QLabel
    """The in-bar message label."""
    floating_status_label: VLMFloatingLabel
    """The floating message label, a child of the bar's parent."""
    floating_status_font_metrics: QFontMetrics
    hide_status_bar_timer: QTimer
    """Polls the deadline; its interval is that of the message that started it."""
    time_to_hide: datetime | None
    """When everything is hidden; ``None`` until the first message."""

    def __init__(self, parent: QWidget | None) -> None:
        """Build the bar with its label, and the floating label as a child of ``parent``."""

    def _on_status_bar_timer(self, *args: Any, **kwargs: Any) -> None:
        """The timer's slot: clear and hide everything once the deadline has passed."""

    def clear_messages_and_hide(self) -> None:
        """Clear every message and hide the bar and the floating label now."""

    def has_messages(self) -> bool:
        """Whether the bar or either label holds text (a clicked-away floating label counts)."""

    def set_timer_to_hide(self, msecs: int) -> None:
        """Set the deadline to ``msecs`` from now and start the timer if it is idle. On an error
        everything is cleared and hidden at once."""

    def showMessage2(self, message: str, msecs: int, use_floating_label: bool = True) -> None:
        """Show ``message`` for ``msecs`` in the floating label, or in the bar.

        When the floating label cannot be placed (for example the bar has no parent), the
        message goes into the bar and a warning is logged. An empty message starts no timer.
        """

    def showMessage(self, message: str | None, msecs: int = 1000) -> None:
        """Qt's temporary message, and for a non-empty one: show the bar and hide it again
        after ``msecs``."""

    def clearMessage(self) -> None:
        """Clear Qt's temporary message and the in-bar label (not the floating label)."""

# The loaders derive from the host's own VLMThread, as they do at runtime, so host code can hold
# them as VLMThreads. Through it a checker that sees the host knows QThread's members and reports
# unknown ones; where the host cannot be analysed, the loaders' unknown members pass unchecked.
class GetModelConfigThread(VLMThread):
    """Fetches, on a worker thread, a model's access token and then its configuration.

    Start it through the host's ``VLMThread``, which calls ``_run`` on its worker thread,
    and read the results after the base reports completion: ``token``,
    ``model_api_header_meta``, ``model_conf`` and ``op_result``, the outcome of the last
    remote call (the token call when that failed). Remote failures are reported there,
    not raised; errors of the host's clients propagate out of ``_run``.
    """

    region: K8sRegion
    model_meta: ModelMeta
    version_info: ModelVersionInfo | None
    console_client: K8sConsoleClient
    model_client: ModelHostClient
    model_api_header_meta: ModelAPIHeaderMeta | None
    model_conf: ModelConfig | None
    token: str | None
    op_result: Any
    """The host's operation result of the last remote call; its ``success`` is true or false."""

    def __init__(self, parent: QObject, region: K8sRegion, model_meta: ModelMeta,
                 version_info: ModelVersionInfo | None = None, success_msg: str | None = None,
                 error_msg: str | None = None) -> None:
        """Prepare the loader with a ``K8sConsoleClient`` for ``region`` and a
        ``ModelHostClient``; ``parent``, ``success_msg`` and ``error_msg`` go to ``VLMThread``.
        Raises ``AssertionError`` when ``region`` is not a ``K8sRegion``."""

    def _run(self) -> None:
        """Ask the console for the model's token, then the model host for its configuration.

        Stops after a failed call. Raises ``AssertionError`` for a successful token reply
        without a token. Logs the configuration's model name at debug level.
        """

class GetWorkflowServicesThread(VLMThread):
    """Fetches a region's workflow services on a worker thread.

    Start it through the host's ``VLMThread`` and read ``workflow_services`` and ``op_result``
    after the base reports completion.
    """

    region: K8sRegion
    client: K8sConsoleClient
    workflow_services: list[WorkflowService] | None
    op_result: Any
    """The host's operation result of the call; its ``success`` is true or false."""

    def __init__(self, parent: QObject, region: K8sRegion, success_msg: str | None = None,
                 error_msg: str | None = None) -> None:
        """Prepare the loader with a ``K8sConsoleClient`` for ``region``; ``parent``,
        ``success_msg`` and ``error_msg`` go to ``VLMThread``."""

    def _run(self) -> None:
        """Ask the console for the region's workflow services."""

class ModelSelectionState:
    """The model the user has selected: region, prefix, metadata, version, and its token."""

    region: K8sRegion
    model_prefix: ModelPrefix | None
    model_meta: ModelMeta | None
    version_info: ModelVersionInfo | None

    def __init__(self, region: K8sRegion, model_prefix: ModelPrefix | None = None,
                 model_meta: ModelMeta | None = None,
                 version_info: ModelVersionInfo | None = None) -> None:
        """Store the selection; the state owns a host ``ModelHostUrlResolver``."""

    @property
    def model_url(self) -> str:
        """The model's address, worked out by the host's resolver on every read from the
        region's host address, ``model_meta.model_prefix.prefix``, ``model_meta.name`` and
        ``version_info``. Raises ``AttributeError`` while ``model_meta`` is ``None``."""

    def set_token(self, token: str) -> None:
        """Store the model's access token."""

    @property
    def token(self) -> str:
        """The stored token, or the empty text when there is none."""

class SaveMode(IntEnum):
    """The kinds of save operation the host performs; members compare equal to their values."""

    SAVE = 0
    SAVE_AS = 1
    EXPORT_DATA = 2
    APPLY_STEPS = 3

    @classmethod
    def from_value(cls, value: object) -> SaveMode:
        """The member equal to ``value`` (by integer equality, so ``True`` gives ``SAVE_AS``).
        Raises ``ValueError`` "<value> is not a valid save mode" otherwise."""

class TabNameHelper:
    """Shortens names for tabs."""

    @staticmethod
    def shorten_node_name(node_name: str) -> str:
        """The name with a leading "Worker-" shortened to "W-"; other names unchanged."""
