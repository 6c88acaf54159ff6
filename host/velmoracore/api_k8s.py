from dataclasses import dataclass
from typing import Optional


@dataclass
class ModelPrefix:
    prefix: str


@dataclass
class ModelVersionInfo:
    version: str


@dataclass
class ModelMeta:
    model_id: str
    name: str
    model_prefix: ModelPrefix
    version_info: Optional[ModelVersionInfo] = None


@dataclass
class WorkflowService:
    name: str
    url: str
