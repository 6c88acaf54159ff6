class AppState:
    """Application-wide state; the module reads `is_dark_mode` as a truth value."""

    def __init__(self):
        self.is_dark_mode = False


app_state_glbl = AppState()
