#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"
#include "minihist/minihist.hpp"

namespace shared_ui {

py::object make_MiniHistChartView() {
    return ClassBuilder("MiniHistChartView", {global("QChartView")})
        .attr("logger", app_logger)
        .build();
}

py::object make_MiniHist() {
    return ClassBuilder("MiniHist", {global("QWidget")}).build();
}

} // namespace shared_ui
