"""Stand-in for the host application's core package."""
