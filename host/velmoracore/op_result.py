from dataclasses import dataclass


@dataclass
class OpResult:
    """The outcome of a remote call: `success`, with a message for the user when it failed."""

    success: bool = True
    message: str = ""

    def __bool__(self):
        return bool(self.success)
