VLMThread = object
