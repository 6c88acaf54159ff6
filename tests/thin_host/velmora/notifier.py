notifier_glbl = object()
