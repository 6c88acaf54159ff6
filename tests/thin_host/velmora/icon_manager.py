icons_glbl = object()
