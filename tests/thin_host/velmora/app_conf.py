app_conf_glbl = object()
