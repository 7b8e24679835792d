#!/usr/bin/env python3
"""The fake Lorvex service with the session page's operations and the directory store
(lorvex_dirstore.py) loaded. Started, driven and stopped exactly like lorvex_service.py."""

import lorvex_dirstore  # noqa: F401  (registers the operations)
import lorvex_session_ops  # noqa: F401
import lorvex_service

if __name__ == "__main__":
    lorvex_service.main()
