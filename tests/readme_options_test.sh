#!/usr/bin/env bash
# Checks that a README gives every option that pelorin-cli's --help lists.
# Usage: readme_options_test.sh PELORIN_CLI README
set -euo pipefail
cli=$1
readme=$2
options=$("$cli" --help | grep -oE '(^|[ ,])-(-[a-z0-9-]+|[a-zA-Z0-9])\b' | tr -d ' ,' | sort -u)
[[ -n "$options" ]] || { echo "FAIL: no option found in the help"; exit 1; }
fail=0
for option in $options; do
  grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" "$readme" || { echo "FAIL: $readme lacks $option"; fail=1; }
done
exit $fail
