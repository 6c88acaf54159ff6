K8sRegion = object
