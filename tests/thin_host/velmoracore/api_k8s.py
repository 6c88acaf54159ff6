ModelMeta = ModelPrefix = ModelVersionInfo = WorkflowService = object
