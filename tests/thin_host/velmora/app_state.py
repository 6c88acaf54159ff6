app_state_glbl = object()
