ModelConfig = ModelAPIHeaderMeta = object
