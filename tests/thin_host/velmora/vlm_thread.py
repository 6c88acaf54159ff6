class VLMThread:
    pass
