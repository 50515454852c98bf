#!/bin/bash
# needs-file.sh PATH CMD...: runs CMD when PATH exists; otherwise says what is missing and exits
# with 77, which the tests registered through st_add_test_needing report as skipped.
path=$1; shift
if [ ! -e "$path" ]; then
  echo "skipped: $path is not there"
  exit 77
fi
exec "$@"
