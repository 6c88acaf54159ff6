import enum
import logging


class Log(enum.Enum):
    APP = "velmora.app"


def get_logger(log: Log) -> logging.Logger:
    return logging.getLogger(log.value)
