core_conf_glbl = object()
