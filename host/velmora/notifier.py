class Notifier:
    """Application-wide notifications; the module only holds it."""


notifier_glbl = Notifier()
