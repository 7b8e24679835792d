#!/usr/bin/env python3
"""The fake Lorvex service with the checking upload page (lorvex_upload.py) loaded.
Started, driven and stopped exactly like lorvex_service.py."""

import lorvex_upload  # noqa: F401  (installs the upload page)
import lorvex_service

if __name__ == "__main__":
    lorvex_service.main()
