from dataclasses import dataclass, field


@dataclass
class ModelAPIHeaderMeta:
    headers: dict = field(default_factory=dict)


@dataclass
class ModelConfig:
    model_name: str = ""
    inputs: list = field(default_factory=list)
    outputs: list = field(default_factory=list)
