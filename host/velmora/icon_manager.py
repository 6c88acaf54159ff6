class IconManager:
    """The application's icons; the module only holds it."""


icons_glbl = IconManager()
