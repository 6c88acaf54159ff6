K8sConsoleClient = object
