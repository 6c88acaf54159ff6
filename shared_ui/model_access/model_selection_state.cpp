// ModelSelectionState: the deployed model the user has selected and its access token.
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"
#include "model_access/model_access.hpp"

namespace shared_ui {
namespace {

void init(py::object self, py::object region, py::object model_prefix, py::object model_meta,
          py::object version_info) {
    self.attr("region") = region;
    self.attr("model_prefix") = model_prefix;
    self.attr("model_meta") = model_meta;
    self.attr("version_info") = version_info;
    self.attr("_token") = py::none();
    self.attr("_url_resolver") = global("ModelHostUrlResolver")();
}

// Resolved on every read: the host may rebind version_info (or anything else) between reads.
// The prefix is the model's own, not model_prefix, which only records what the user picked.
py::object model_url(py::object self) {
    py::object resolve = self.attr("_url_resolver").attr("resolve_model_url");
    py::object host_url = self.attr("region").attr("k8s_config").attr("host_url");
    py::object prefix = self.attr("model_meta").attr("model_prefix").attr("prefix");
    py::object model_name = self.attr("model_meta").attr("name");
    py::object version_info = self.attr("version_info");
    return resolve(py::arg("original_host_url") = host_url, py::arg("prefix") = prefix,
                   py::arg("model_name") = model_name, py::arg("version_info") = version_info);
}

void set_token(py::object self, py::object token) {
    self.attr("_token") = token;
}

py::object token(py::object self) {
    py::object stored = self.attr("_token");
    return stored.is_none() ? py::str("") : stored;
}

} // namespace

py::object make_ModelSelectionState() {
    return ClassBuilder("ModelSelectionState")
        .method("__init__", &init, py::arg("self"), py::arg("region"),
                py::arg("model_prefix") = py::none(), py::arg("model_meta") = py::none(),
                py::arg("version_info") = py::none())
        .property("model_url", &model_url, py::arg("self"))
        .method("set_token", &set_token, py::arg("self"), py::arg("token"))
        .property("token", &token, py::arg("self"))
        .build();
}

} // namespace shared_ui
