import time

from velmoracore import canned as _canned
from velmoracore.op_result import OpResult


class K8sConsoleClient:
    """Talks to a region's cluster console (here: answers from `velmoracore.canned`)."""

    def __init__(self, region):
        self.region = region

    def get_model_token(self, model_id, upload=False):
        data = _canned.canned
        data.calls.append(("get_model_token", model_id, upload))
        time.sleep(data.delay_sec)
        if data.token_error or model_id not in data.tokens:
            return None, OpResult(False, data.token_error or f"No token for model {model_id}")
        return data.tokens[model_id], OpResult(True)

    def get_workflow_services(self):
        data = _canned.canned
        data.calls.append(("get_workflow_services",))
        time.sleep(data.delay_sec)
        if data.services_error:
            return None, OpResult(False, data.services_error)
        return list(data.services), OpResult(True)
