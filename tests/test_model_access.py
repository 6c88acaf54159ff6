# ModelSelectionState and the two loaders that fetch from the host's clients on a worker thread.
import builtins
import threading
from types import SimpleNamespace

import pytest
from velmoracore import canned as canned_module
from velmoracore.api_k8s import ModelMeta, ModelPrefix, ModelVersionInfo
from velmoracore.cloud_def import K8sConfig, K8sRegion
from velmoracore.op_result import OpResult

import shared_ui
from shared_ui import GetModelConfigThread, GetWorkflowServicesThread, ModelSelectionState

HOST_URL = "https://eu.example.test/"
REGION = K8sRegion("eu", K8sConfig(HOST_URL))
META = ModelMeta("m-1", "churn", ModelPrefix("own-prefix"))
OK = OpResult(True)


@pytest.fixture
def canned():
    canned_module.reset()
    canned_module.canned.delay_sec = 0.02
    yield canned_module.canned
    canned_module.reset()


@pytest.fixture
def fake(monkeypatch):
    """The host's clients replaced: every call is recorded as (name, args, kwargs, thread id)."""
    record = SimpleNamespace(calls=[], replies={})

    class Client:
        def __init__(self, *args, **kwargs):
            record.calls.append((type(self).__name__, args, kwargs, threading.get_ident()))

        def __getattr__(self, name):
            def call(*args, **kwargs):
                record.calls.append((name, args, kwargs, threading.get_ident()))
                if isinstance(record.replies[name], BaseException):
                    raise record.replies[name]
                return record.replies[name]
            return call

    for name in ("K8sConsoleClient", "ModelHostClient", "ModelHostUrlResolver"):
        monkeypatch.setattr(shared_ui, name, type(name, (Client,), {}))
    return record


def run(qtbot, loader):
    with qtbot.waitSignal(loader.finished, timeout=5000):
        loader.start()
    return loader


def test_token_reads_as_empty_text_until_set():
    state = ModelSelectionState(region=None)
    assert state.token == ""
    for token, read in [("abc", "abc"), ("", ""), (None, ""), ("xyz", "xyz")]:
        assert state.set_token(token=token) is None
        assert state.token == read


# Resolved on every read, with the model's own prefix rather than the one the user picked.
def test_model_url_is_resolved_on_every_read_from_the_models_own_prefix(fake):
    fake.replies["resolve_model_url"] = "url"
    state = ModelSelectionState(REGION, ModelPrefix("picked-prefix"), META)
    assert state.model_url == "url"
    state.version_info = ModelVersionInfo("7")
    assert state.model_url == "url"
    resolve = ("resolve_model_url", (), dict(original_host_url=HOST_URL, prefix="own-prefix",
                                             model_name="churn", version_info=None))
    resolve_7 = resolve[:2] + ({**resolve[2], "version_info": ModelVersionInfo("7")},)
    assert [c[:3] for c in fake.calls] == [("ModelHostUrlResolver", (), {}), resolve, resolve_7]
    with pytest.raises(AttributeError):
        ModelSelectionState(SimpleNamespace(name="eu"), model_meta=META).model_url


# A failed call stops the loader; a config without a name is logged as "?".
@pytest.mark.parametrize("setup, calls, token, log", [
    (lambda c: None, 2, "token-m-1", ["Model_conf name: churn"]),
    (lambda c: setattr(c, "token_error", "denied"), 1, None, []),
    (lambda c: setattr(c, "config_error", "down"), 2, "token-m-1", []),
    (lambda c: c.configs.clear(), 2, "token-m-1", ["Model_conf name: ?"]),
], ids=["loaded", "token-call-fails", "config-call-fails", "no-config"])
def test_model_config_loader(qtbot, logged, canned, setup, calls, token, log):
    setup(canned)
    loader = GetModelConfigThread(parent=None, region=REGION, model_meta=META,
                                  success_msg="loaded", error_msg="failed")
    assert (loader.token, loader.model_conf, loader.model_api_header_meta) == (None, None, None)
    with qtbot.waitSignal(loader.finished_with) as outcome:
        run(qtbot, loader)
    assert outcome.args == ([True, "loaded"] if log else [False, "failed"])
    assert [c[0] for c in canned.calls] == ["get_model_token", "get_model_config"][:calls]
    assert loader.token == token and loader.error is None
    assert (loader.model_conf, loader.model_api_header_meta) == (
        (canned.configs.get("churn"), canned.header_meta) if log else (None, None))
    assert logged() == [("DEBUG", line, None) for line in log]


def test_call_forms_and_threads(qtbot, fake):
    fake.replies.update(get_model_token=("tok", OK), get_model_config=("hdr", "conf", OK),
                        get_workflow_services=(["svc"], OK))
    version = ModelVersionInfo("2")
    config_loader = run(qtbot, GetModelConfigThread(None, REGION, META, version, "y", error_msg="n"))
    services_loader = run(qtbot, GetWorkflowServicesThread(error_msg="n", region=REGION, parent=None))
    # The host's base takes the parent and both messages by position or by keyword.
    assert [(loader.parent(), loader.success_msg, loader.error_msg)
            for loader in (config_loader, services_loader)] == [(None, "y", "n"), (None, None, "n")]
    assert [c[:3] for c in fake.calls] == [
        ("K8sConsoleClient", (), {"region": REGION}),
        ("ModelHostClient", (), {}),
        ("get_model_token", ("m-1",), {"upload": False}),
        ("get_model_config", (HOST_URL,), dict(token="tok", prefix="own-prefix",
                                              model_name="churn", version_info=version)),
        ("K8sConsoleClient", (REGION,), {}),
        ("get_workflow_services", (), {}),
    ]
    # Clients are made on the constructing thread and used on the worker thread.
    main = threading.get_ident()
    assert [c[3] == main for c in fake.calls] == [True, True, False, False, True, False]
    assert (config_loader.model_api_header_meta, config_loader.model_conf) == ("hdr", "conf")
    assert services_loader.workflow_services == ["svc"] and services_loader.op_result is OK


TOO_FEW = "not enough values to unpack (expected {}, got {})"
TOO_MANY = "too many values to unpack (expected {})"
GONE = ConnectionError("gone")


# Every error leaves _run as it came: a reply that cannot be unpacked binds none of its targets.
@pytest.mark.parametrize("loader_class, replies, error", [
    (GetModelConfigThread, {"get_model_token": ("tok",)}, ValueError(TOO_FEW.format(2, 1))),
    (GetModelConfigThread, {"get_model_token": ("tok", OK, 1)}, ValueError(TOO_MANY.format(2))),
    (GetModelConfigThread, {"get_model_token": None},
     TypeError("cannot unpack non-iterable NoneType object")),
    (GetModelConfigThread, {"get_model_token": ("tok", OK), "get_model_config": ["h", "c"]},
     ValueError(TOO_FEW.format(3, 2))),
    (GetModelConfigThread, {"get_model_token": ("tok", OK), "get_model_config": iter("hcrx")},
     ValueError(TOO_MANY.format(3))),
    (GetModelConfigThread, {"get_model_token": (None, OK)}, AssertionError()),
    (GetModelConfigThread, {"get_model_token": GONE}, GONE),
    (GetWorkflowServicesThread, {"get_workflow_services": ([],)}, ValueError(TOO_FEW.format(2, 1))),
], ids=["token-short", "token-long", "token-none", "config-short", "config-long",
        "no-token", "client-raises", "services-short"])
def test_errors_propagate_out_of_run_unchanged(qtbot, fake, loader_class, replies, error):
    fake.replies.update(replies)
    args = (None, REGION, META) if loader_class is GetModelConfigThread else (None, REGION)
    loader = run(qtbot, loader_class(*args))
    assert type(loader.error) is type(error) and loader.error.args == error.args
    assert error is not GONE or loader.error is GONE
    assert ("get_model_config" in [c[0] for c in fake.calls]) == ("get_model_config" in replies)
    if loader_class is GetModelConfigThread:
        token_reply = replies["get_model_token"]
        token_ok = isinstance(token_reply, tuple) and len(token_reply) == 2
        assert loader.op_result is (token_reply[1] if token_ok else None)
        assert loader.model_conf is None


# `python -O` sets the builtin __debug__ to False, which is what the loader reads.
def test_region_of_the_wrong_type_fails_the_assertion_unless_optimised(monkeypatch, canned):
    region = SimpleNamespace(k8s_config=K8sConfig(HOST_URL))
    with pytest.raises(AssertionError) as info:
        GetModelConfigThread(None, region, META)
    assert info.value.args == ()
    monkeypatch.setitem(vars(builtins), "__debug__", False)
    canned.tokens["m-1"] = None  # the token assertion goes too
    GetModelConfigThread(None, region, META)._run()
    assert canned.calls[-1] == ("get_model_config", HOST_URL, None, "own-prefix", "churn", None)
