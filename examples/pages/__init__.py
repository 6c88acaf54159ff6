"""The gallery's pages, one module per subsystem."""
