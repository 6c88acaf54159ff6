class AppDef:
    """Sizes (pixels) and times (milliseconds) of the application's widgets."""

    M_HIST_MIN_WIDTH = 120
    M_HIST_MAX_WIDTH = 240
    M_HIST_WITH_LABELS_MAX_WIDTH = 520
    M_HIST_MIN_MAX_HEIGHT = 64
    M_HIST_TOOL_TIP_DURATION = 5000
