class AppConf:
    """Application configuration; the module only holds it."""

    def __init__(self):
        self.recent_files = []


app_conf_glbl = AppConf()
