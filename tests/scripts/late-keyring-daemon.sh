#!/usr/bin/env bash
# Runs scripts/with-test-keyring (the path in $1) with a keyring daemon that takes its bus name
# only after the script first asked the bus for the keyring, as it may on a loaded machine. The
# keyring the command then reaches must be the unlocked one that the script started.
# Exits 77 (skipped) where the session bus or the keyring is not installed.
set -euo pipefail
script=$1
for tool in dbus-run-session gnome-keyring-daemon gdbus; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is not installed" >&2
    exit 77
  fi
done
real_daemon=$(command -v gnome-keyring-daemon)
real_gdbus=$(command -v gdbus)
shims=$(mktemp -d)
trap 'rm -rf "$shims"' EXIT

# Every gdbus call leaves a mark once the bus has answered it.
cat >"$shims/gdbus" <<SHIM
#!/usr/bin/env bash
status=0
"$real_gdbus" "\$@" || status=\$?
touch "$shims/asked"
exit \$status
SHIM
# The daemon returns at once and starts for real only once a call has been answered.
cat >"$shims/gnome-keyring-daemon" <<SHIM
#!/usr/bin/env bash
input=\$(cat)
(
  until [ -e "$shims/asked" ]; do sleep 0.05; done
  printf '%s\n' "\$input" | "$real_daemon" "\$@"
) </dev/null >/dev/null 2>&1 &
exit 0
SHIM
chmod +x "$shims/gdbus" "$shims/gnome-keyring-daemon"

# Inside the bus: the default collection is there and unlocked.
check='
  [ "${PELLORY_TEST_KEYRING:-}" = "1" ] || { echo "the script found no keyring" >&2; exit 1; }
  collection=$(gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets \
    --method org.freedesktop.Secret.Service.ReadAlias default | sed -n "s/^(objectpath '"'"'\(.*\)'"'"',)$/\1/p")
  [ -n "$collection" ] && [ "$collection" != "/" ] || { echo "no default collection" >&2; exit 1; }
  locked=$(gdbus call --session --dest org.freedesktop.secrets --object-path "$collection" \
    --method org.freedesktop.DBus.Properties.Get org.freedesktop.Secret.Collection Locked)
  [ "$locked" = "(<false>,)" ] || { echo "the default collection is locked: $locked" >&2; exit 1; }
'
env -u PELLORY_INSIDE_TEST_BUS -u PELLORY_TEST_KEYRING PATH="$shims:$PATH" CI=true "$script" bash -c "$check"
echo "the late keyring daemon was the one reached, unlocked"
