from PyQt6.QtCore import QThread, pyqtSignal

from velmora.log_manager import Log, get_logger


class VLMThread(QThread):
    """Runs a subclass's `_run()` on a worker thread and reports when it is done.

    The subclass leaves its outcome in `op_result`; `finished_with` is emitted on the thread that
    owns this object with the success or error message chosen by `op_result.success`, and
    `failed_with` with the exception when `_run()` raised (kept in `error`).
    """

    finished_with = pyqtSignal(bool, str)
    failed_with = pyqtSignal(object)

    def __init__(self, parent, success_msg=None, error_msg=None):
        super().__init__(parent)
        self.success_msg = success_msg
        self.error_msg = error_msg
        self.logger = get_logger(Log.APP)
        self.op_result = None
        self.error = None

    def run(self):
        try:
            self._run()
        except BaseException as exc:  # the worker thread must not die silently
            self.error = exc
            self.logger.error("Background task failed", exc_info=True)
            self.failed_with.emit(exc)
            return
        ok = bool(self.op_result is not None and self.op_result.success)
        message = self.success_msg if ok else self.error_msg
        self.finished_with.emit(ok, message or "")

    def _run(self):
        raise NotImplementedError
