// PickAnyValueDialog: the user ticks any of a list of texts; the ticked ones come back in order.
#include "feedback/feedback.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

constexpr const char *kFormModule = "velmora.ui_pickvaluesdialog";
constexpr const char *kFormClass = "Ui_PickValuesDialog";

// `from velmora.ui_pickvaluesdialog import Ui_PickValuesDialog`, run each time a dialog is
// built: the form belongs to the host, which need not have it loaded (or at all) until then.
py::object import_form_class() {
    py::object module = global("__import__")(kFormModule, module_object().attr("__dict__"),
                                             py::none(), py::make_tuple(kFormClass), 0);
    PyObject *form = PyObject_GetAttrString(module.ptr(), kFormClass);
    if (form != nullptr)
        return py::reinterpret_steal<py::object>(form);
    if (!PyErr_ExceptionMatches(PyExc_AttributeError))
        throw py::error_already_set();
    PyErr_Clear();
    py::object location = py::str("unknown location");
    if (py::hasattr(module, "__file__") && !module.attr("__file__").is_none())
        location = module.attr("__file__");
    PyErr_SetObject(PyExc_ImportError, py::str("cannot import name '{}' from '{}' ({})")
                                           .format(kFormClass, kFormModule, location)
                                           .ptr());
    throw py::error_already_set();
}

py::object qt_flag(const char *group, const char *member) {
    return global("Qt").attr(group).attr(member);
}

void pick_values_init(py::object self, py::object parent, py::object text_list, py::object title) {
    super_of("PickAnyValueDialog", self).attr("__init__")(parent);
    py::object form_class = import_form_class();
    self.attr("ui") = form_class();
    py::object ui = self.attr("ui");
    ui.attr("setupUi")(self);
    // Without a title of its own the dialog keeps the one the form gave it.
    if (truth(title))
        self.attr("setWindowTitle")(title);

    py::object list_widget = ui.attr("listWidget");
    list_widget.attr("clear")();
    // Tickable, but neither editable, draggable nor tristate.
    py::object flags = qt_flag("ItemFlag", "ItemIsSelectable") |
                       qt_flag("ItemFlag", "ItemIsUserCheckable") |
                       qt_flag("ItemFlag", "ItemIsEnabled");
    py::object unchecked = qt_flag("CheckState", "Unchecked");
    const size_t count = py::len(text_list);
    for (size_t i = 0; i < count; ++i) {
        py::object new_list_widget_item = global("QListWidgetItem")();
        new_list_widget_item.attr("setText")(text_list[py::int_(i)]);
        new_list_widget_item.attr("setCheckState")(unchecked);
        new_list_widget_item.attr("setFlags")(flags);
        list_widget.attr("addItem")(new_list_widget_item);
    }
}

py::list get_selected_items(py::object self) {
    py::list selected_items;
    py::object list_widget = self.attr("ui").attr("listWidget");
    py::object checked = qt_flag("CheckState", "Checked");
    const long count = list_widget.attr("count")().cast<long>();
    for (long i = 0; i < count; ++i) {
        if (list_widget.attr("item")(i).attr("checkState")().equal(checked))
            selected_items.append(list_widget.attr("item")(i).attr("text")());
    }
    return selected_items;
}

} // namespace

py::object make_PickAnyValueDialog() {
    return ClassBuilder("PickAnyValueDialog", {global("VLMDialog")})
        .method("__init__", &pick_values_init, py::arg("self"), py::arg("parent"),
                py::arg("text_list"), py::arg("title") = py::none())
        .method("get_selected_items", &get_selected_items, py::arg("self"))
        .build();
}

} // namespace shared_ui
