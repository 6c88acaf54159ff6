import types

app_state_glbl = types.SimpleNamespace(is_dark_mode=0)
