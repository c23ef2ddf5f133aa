# Sourced by env.sh. Where the kernel runs no 32-bit programs (wineserver32 fails with
# "Exec format error"), the Wine part runs in a Debian 12 guest under qemu-system-x86_64
# (software emulation) with the host's source and build folders shared at the same paths.
# Wine under qemu-user hangs, so a whole guest it is.

GUEST_CACHE=${KVR_GUEST_CACHE:-/var/cache/kvr-opos-guest}
GUEST_MIRROR=${KVR_GUEST_MIRROR:-http://deb.debian.org/debian}
# Bump when the image recipe changes: a stale image is then rebuilt.
GUEST_RECIPE=1
GUEST_BOOT_LIMIT=${KVR_GUEST_BOOT_LIMIT:-300}
GUEST_RUN_LIMIT=${KVR_GUEST_TIMEOUT:-2400}

# True where this kernel runs i386 programs: try one (a 96-byte static ELF doing exit(42)).
runs_i386() {
  local f rc
  f=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$f"
  chmod +x "$f"
  rc=0
  "$f" 2>/dev/null || rc=$?
  rm -f "$f"
  [ "$rc" -eq 42 ]
}

# KVR_GUEST=1 forces the guest path; otherwise it is taken only where i386 cannot run.
use_guest() {
  case "${KVR_GUEST:-}" in
    1 | yes | true) return 0 ;;
    0 | no | false) return 1 ;;
  esac
  ! runs_i386
}

# apt-get with its arguments after the first (the name its lines start with), waiting up to
# KVR_APT_LOCK_WAIT seconds (600) while another package run holds apt's locks, as a fresh
# cloud machine's unattended upgrades do at first boot. DPkg::Lock::Timeout makes apt wait
# for the dpkg lock; apt-get update (apt 2.6) gives up on the lists lock at once whatever it
# says, so a refused update is made again until the time is up. The waiting line goes to
# fd APT_WAIT_SAY (stdout unless set: a step whose output goes to a log names another).
apt_get_waiting() {
  local who=$1 limit=${KVR_APT_LOCK_WAIT:-600} log rc told=
  shift
  local until=$((SECONDS + limit))
  log=$(mktemp)
  local refused=
  while :; do
    if [ -z "$told" ] && { [ -n "$refused" ] || apt_lock_held; }; then
      told=1
      echo "$who: waiting up to $limit s for another package run to release the apt lock" \
        >&"${APT_WAIT_SAY:-1}"
    fi
    if apt-get -o DPkg::Lock::Timeout=$((until > SECONDS ? until - SECONDS : 1)) "$@" 2>&1 |
      tee "$log"; rc=${PIPESTATUS[0]}; [ "$rc" -eq 0 ]; then
      rm -f "$log"
      return 0
    fi
    if ! grep -q '^E: Could not get lock' "$log" || [ "$SECONDS" -ge "$until" ]; then
      rm -f "$log"
      return "$rc"
    fi
    refused=1
    sleep 5
  done
}

# True while some process holds a lock on one of apt's or dpkg's lock files (by inode, in
# /proc/locks; a match on another file system only costs a needless waiting line).
apt_lock_held() {
  local f inode
  for f in /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock \
    /var/cache/apt/archives/lock; do
    inode=$(stat -c %i "$f" 2>/dev/null) || continue
    grep -q ":$inode " /proc/locks 2>/dev/null && return 0
  done
  return 1
}

# The first command a guest runs: mounts, the shared folders, the job, power off.
guest_init_script() {
  cat <<'EOF'
#!/bin/sh
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm; mount -t devpts devpts /dev/pts; mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run; mount -t tmpfs tmpfs /tmp; mount -o remount,rw /
hostname kvr-guest
stty -onlcr 2>/dev/null
echo 1 >/proc/sys/kernel/sysrq
modprobe 9pnet_virtio; modprobe 9p
for arg in $(cat /proc/cmdline); do
  case "$arg" in
    kvr.share=*) s=${arg#kvr.share=}; tag=${s%%:*}; dir=${s#*:}
      mkdir -p "$dir"
      mount -t 9p -o trans=virtio,version=9p2000.L,cache=loose,msize=512000 "$tag" "$dir" ;;
    kvr.job=*) job=${arg#kvr.job=} ;;
  esac
done
echo "kvr-guest: started"
rc=1
[ -n "$job" ] && { bash "$job"; rc=$?; }
echo "$rc" >"$job.rc"
sync
echo "kvr-guest: done ($rc)"
echo o >/proc/sysrq-trigger
sleep 30
EOF
}

guest_build_image() {
  local root=$GUEST_CACHE/root.tmp
  mkdir -p "$GUEST_CACHE"
  if [ ! -e "$GUEST_CACHE/.debootstrap-done" ]; then
    echo "guest: making the Debian 12 guest image in $GUEST_CACHE (once, a few minutes)"
    rm -rf "$root"
    debootstrap --include=linux-image-amd64,initramfs-tools,kmod bookworm "$root" \
      "$GUEST_MIRROR" >"$GUEST_CACHE/debootstrap.log" 2>&1 ||
      { tail -n 20 "$GUEST_CACHE/debootstrap.log"; return 1; }
    touch "$GUEST_CACHE/.debootstrap-done"
  fi
  if [ ! -e "$GUEST_CACHE/.packages-done" ]; then
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    local rc=0
    chroot "$root" /bin/bash -ec "$(declare -f apt_get_waiting apt_lock_held)"'
      export DEBIAN_FRONTEND=noninteractive APT_WAIT_SAY=3
      dpkg --add-architecture i386
      apt_get_waiting guest update -q
      apt_get_waiting guest install -y -q --no-install-recommends wine wine32:i386 xvfb \
        xauth cmake locales
      sed -i "s/^# *en_US.UTF-8/en_US.UTF-8/" /etc/locale.gen && locale-gen
      apt-get clean' 3>&1 >"$GUEST_CACHE/packages.log" 2>&1 || rc=$?
    umount "$root/dev" "$root/proc"
    [ $rc -eq 0 ] || { tail -n 20 "$GUEST_CACHE/packages.log"; return 1; }
    touch "$GUEST_CACHE/.packages-done"
  fi
  guest_init_script >"$root/sbin/kvr-guest-init"
  chmod +x "$root/sbin/kvr-guest-init"
  cp "$(ls "$root"/boot/vmlinuz-* | tail -n1)" "$GUEST_CACHE/vmlinuz"
  cp "$(ls "$root"/boot/initrd.img-* | tail -n1)" "$GUEST_CACHE/initrd.img"
  rm -f "$GUEST_CACHE/root.img.new"
  mkfs.ext4 -q -F -L kvr-root -d "$root" "$GUEST_CACHE/root.img.new" 6G
  mv "$GUEST_CACHE/root.img.new" "$GUEST_CACHE/root.img"
  # One boot that keeps its changes: a Wine prefix made once, reused by every run.
  local job=$GUEST_CACHE/prepare.sh
  cat >"$job" <<'EOF'
export WINEPREFIX=/var/lib/kvr-wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
mkdir -p "$WINEPREFIX" && wineboot -i && wineserver -w
EOF
  GUEST_SHARES=("$GUEST_CACHE")
  guest_boot "$job" persistent || { echo "guest: could not prepare the Wine prefix"; return 1; }
  echo "$GUEST_RECIPE" >"$GUEST_CACHE/.ready"
}

guest_ensure_image() {
  [ "$(cat "$GUEST_CACHE/.ready" 2>/dev/null)" = "$GUEST_RECIPE" ] && return 0
  (
    flock 9
    [ "$(cat "$GUEST_CACHE/.ready" 2>/dev/null)" = "$GUEST_RECIPE" ] || guest_build_image
  ) 9>"$GUEST_CACHE.lock"
}

# Boots the guest and runs one job script (a path the guest sees through a share).
# A boot that never reaches the job is killed and tried again: about one boot in fifteen
# hangs early under software emulation.
guest_boot() {
  local job=$1 mode=${2:-snapshot} shares=() args=() n=0 dir tries log pid rc
  for dir in "${GUEST_SHARES[@]}"; do
    shares+=(-virtfs "local,path=$dir,mount_tag=share$n,security_model=none,id=share$n")
    args+=("kvr.share=share$n:$dir")
    n=$((n + 1))
  done
  local cpus mem
  cpus=${KVR_GUEST_CPUS:-$(nproc)}
  mem=$(($(awk '/MemTotal/ {print $2}' /proc/meminfo) / 1024 / 2))
  [ "$mem" -gt 8192 ] && mem=8192
  mem=${KVR_GUEST_MEM:-$mem}
  local snap=(-snapshot)
  [ "$mode" = persistent ] && snap=()
  for tries in 1 2 3; do
    rm -f "$job.rc"
    log=$(mktemp)
    timeout "$GUEST_RUN_LIMIT" qemu-system-x86_64 -accel tcg,thread=multi -cpu max,smap=off \
      -smp "$cpus" -m "$mem" -nographic -no-reboot "${snap[@]}" \
      -drive "file=$GUEST_CACHE/root.img,format=raw,if=virtio" \
      -kernel "$GUEST_CACHE/vmlinuz" -initrd "$GUEST_CACHE/initrd.img" \
      -append "root=/dev/vda rw rootfstype=ext4 console=ttyS0 quiet loglevel=0 panic=1 init=/sbin/kvr-guest-init ${args[*]} kvr.job=$job" \
      "${shares[@]}" </dev/null >"$log" 2>&1 &
    pid=$!
    local waited=0
    until grep -q 'kvr-guest: started' "$log" 2>/dev/null; do
      if ! kill -0 "$pid" 2>/dev/null || [ $waited -ge "$GUEST_BOOT_LIMIT" ]; then break; fi
      sleep 1
      waited=$((waited + 1))
    done
    if ! grep -q 'kvr-guest: started' "$log"; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      echo "guest: boot $tries did not reach its job in ${GUEST_BOOT_LIMIT} s; last lines:"
      tail -n 5 "$log" | tr -d '\r'
      rm -f "$log"
      continue
    fi
    # Only the job's own lines: the test runner's summary stays the last thing printed.
    tail -n +1 -f --pid="$pid" "$log" | tr -d '\r' | sed -u -n '/kvr-guest: started/,$p' |
      sed -u -e '1d' -e '/^kvr-guest: done/d' -e '/^\[ *[0-9]*\.[0-9]*\] /d'
    rc=0
    wait "$pid" || rc=$?
    rm -f "$log"
    [ $rc -eq 124 ] && { echo "guest: stopped after ${GUEST_RUN_LIMIT} s (KVR_GUEST_TIMEOUT)"; return 124; }
    [ -s "$job.rc" ] || { echo "guest: the job left no result (qemu exit $rc)"; return 1; }
    return "$(cat "$job.rc")"
  done
  echo "guest: no boot reached its job in 3 tries"
  return 1
}

# Runs "$@" in the current folder, with Wine ready, inside the guest.
guest_run() {
  guest_ensure_image || return 1
  GUEST_SHARES=("$ROOT")
  case "$BUILD/" in "$ROOT"/*) ;; *) GUEST_SHARES+=("$BUILD") ;; esac
  mkdir -p "$BUILD/.guest" "$BUILD/wineprefix"
  local job=$BUILD/.guest/job-$$.sh q=()
  local a
  for a in "$@"; do q+=("$(printf '%q' "$a")"); done
  cat >"$job" <<EOF
#!/bin/bash
# The prefix lives on the guest's own disk: on the 9p share it is several times slower.
mount --bind /var/lib/kvr-wineprefix $(printf '%q' "$BUILD/wineprefix")
export BUILD=$(printf '%q' "$BUILD") KVR_IN_GUEST=1
source $(printf '%q' "$ROOT/scripts/env.sh")
start_wine || exit 1
cd $(printf '%q' "$PWD")
${q[*]}
EOF
  local rc=0
  guest_boot "$job" || rc=$?
  rm -f "$job" "$job.rc"
  return $rc
}
