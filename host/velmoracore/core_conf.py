class CoreConf:
    """Core configuration; the module only holds it."""

    def __init__(self):
        self.request_timeout_sec = 30


core_conf_glbl = CoreConf()
