from dataclasses import dataclass


@dataclass
class K8sConfig:
    host_url: str


@dataclass
class K8sRegion:
    name: str
    k8s_config: K8sConfig
