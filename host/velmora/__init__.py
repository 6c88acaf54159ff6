"""Stand-in for the host application's user-interface package."""
