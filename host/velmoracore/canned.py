"""The answers of the stand-in clients. Tests and the gallery change them at will."""
from dataclasses import dataclass, field

from velmoracore.api_def import ModelAPIHeaderMeta, ModelConfig
from velmoracore.api_k8s import WorkflowService


@dataclass
class CannedData:
    delay_sec: float = 0.05
    tokens: dict = field(default_factory=lambda: {"m-1": "token-m-1"})
    configs: dict = field(default_factory=lambda: {"churn": ModelConfig(model_name="churn")})
    services: list = field(default_factory=lambda: [
        WorkflowService("scoring", "https://scoring.example.test"),
        WorkflowService("training", "https://training.example.test"),
    ])
    header_meta: ModelAPIHeaderMeta = field(default_factory=ModelAPIHeaderMeta)
    # Set to a message to make that call report a failed OpResult.
    token_error: str = ""
    config_error: str = ""
    services_error: str = ""
    calls: list = field(default_factory=list)


canned = CannedData()


def reset():
    fresh = CannedData()
    canned.__dict__.update(fresh.__dict__)
