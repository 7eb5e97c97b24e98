#!/usr/bin/env bash
# Makes and mounts the drives the tests and the benchmark fill: an image file
# made with mkfs, mounted in the caller's namespace (NTFS by ntfs-3g, exFAT by
# exfat-fuse on a loop device, as a stick is, the others loop-mounted),
# read-only, or taken by one file but LEAVE KiB.
#   bash tests/drive.sh make IMAGE TYPE MEGABYTES [MKFS WORDS...]
#   bash tests/drive.sh mount IMAGE TYPE FOLDER [ro | LEAVE]
set -euo pipefail
action=$1 image=$2 type=$3
shift 3
if [ "$action" = make ]; then
  megabytes=$1
  shift
  case $type in ext4) force=(-F -q) ;; ntfs) force=(-F -f -q) ;; exfat) force=() ;; *) force=(-f -q) ;; esac
  truncate -s 0 "$image"
  truncate -s "${megabytes}M" "$image"
  exec "mkfs.$type" "${force[@]}" "$@" "$image"
fi
folder=$1 how=${2:-}
options=()
if [ "$how" = ro ]; then options=(-o ro); fi
case $type in
  ntfs) ntfs-3g "${options[@]}" "$image" "$folder" ;;
  # The loop device, detached while in use, goes when the driver lets it go.
  exfat) device=$(losetup -f --show "$image") && mount.exfat-fuse "${options[@]}" "$device" "$folder" &&
    losetup -d "$device" ;;
  *) mount -o "loop${options[*]:+,ro}" "$image" "$folder" ;;
esac
if [ -n "$how" ] && [ "$how" != ro ]; then
  room=$(($(stat -f -c '%a*%S' "$folder") - how * 1024))
  fallocate -l "$room" "$folder/filler" 2>/dev/null || head -c "$room" /dev/zero >"$folder/filler"
fi
