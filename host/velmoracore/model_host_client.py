import time

from velmoracore import canned as _canned
from velmoracore.op_result import OpResult


class ModelHostClient:
    """Talks to the model host (here: answers from `velmoracore.canned`)."""

    def get_model_config(self, host_url, token=None, prefix=None, model_name=None,
                         version_info=None):
        data = _canned.canned
        data.calls.append(("get_model_config", host_url, token, prefix, model_name, version_info))
        time.sleep(data.delay_sec)
        if data.config_error:
            return None, None, OpResult(False, data.config_error)
        return data.header_meta, data.configs.get(model_name), OpResult(True)


class ModelHostUrlResolver:
    """Builds the address under which the model host serves a model."""

    def resolve_model_url(self, original_host_url=None, prefix=None, model_name=None,
                          version_info=None):
        url = f"{original_host_url.rstrip('/')}/{prefix}/{model_name}"
        if version_info is not None:
            url += f"/v{version_info.version}"
        return url
