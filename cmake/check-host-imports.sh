#!/usr/bin/env bash
echo "check-host-imports: not yet"
