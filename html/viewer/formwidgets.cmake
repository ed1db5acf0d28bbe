# Live widgets of form controls: a library of its own beside the viewer's, so that the layout
# engine never sees a widget.
add_library(kv_formwidgets
  ${CMAKE_CURRENT_LIST_DIR}/formwidgets.cpp ${CMAKE_CURRENT_LIST_DIR}/formwidgets.h)
target_include_directories(kv_formwidgets PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kv_formwidgets PUBLIC kv_layout Qt6::Widgets)
