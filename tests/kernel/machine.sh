# The virtual machine the kernel stages boot: Debian's kernel with only the modules the machine
# needs, vidtv built out of tree for it, a busybox initramfs (tests/kernel/init) and QEMU. Sourced
# by script/test-kernel and script/test-service with $top, the repository, and $stage, the name
# their lines start with, set.
#
# Keeps the kernel, its modules and the built vidtv in ~/.cache/quorvex-kernel, keyed by the
# kernel's ABI and version (and vidtv by its patch too). Fails loudly when anything cannot run.

fail() {
    echo "$stage: FAIL: $*" >&2
    exit 1
}

# A download or a build in progress, deleted when the stage ends (remove_scratch, in its EXIT trap).
scratch=
remove_scratch() { if [ -n "$scratch" ]; then rm -rf "$scratch"; fi; }

export DEBIAN_FRONTEND=noninteractive
install_packages() { # package...: installs those not installed yet, upgrading nothing
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "$stage: installing ${missing[*]}"
        apt-get update -q
        apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

# The kernel the mirror offers today; its ABI changes with security updates, so it is looked up, never pinned.
look_up_kernel() {
    abi=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: linux-image-\(.*\)-amd64$/\1/p' | head -1)
    [ -n "$abi" ] || fail "no linux-image-amd64 in the package lists"
    version=$(apt-cache show --no-all-versions "linux-image-$abi-amd64" | sed -n 's/^Version: //p')
    [ -n "$version" ] || fail "no version of linux-image-$abi-amd64"
    series=$(echo "$version" | cut -d. -f1,2)
    kernel=$kernel_cache/${abi}_$version
}

download() { # directory, package=version...
    (cd "$1" && apt-get download -q -o APT::Sandbox::User=root "${@:2}" >/dev/null) || fail "cannot download ${*:2}"
}

# The modules the machine needs: the DVB core for vidtv, CUSE for the character-device tuners'
# double, 9p over virtio for the host's files, ext4 (with the checksum it asks the crypto API for)
# on a virtio disk for a root of its own.
roots=(dvb-core cuse 9p 9pnet_virtio virtio_pci virtio_blk ext4 crc32c_generic)

has_modules() { # every module the machine needs among the cached kernel's
    local module
    for module in "${roots[@]}"; do grep -qx "$module" "$kernel/modules/order" 2>/dev/null || return 1; done
}

# The kernel and only the modules the machine needs, taken from the image's package without installing it.
fetch_kernel() {
    local wanted patterns module next dependency
    # An older kernel's files go; this kernel's vidtv stays.
    mkdir -p "$kernel" && find "$kernel_cache" -mindepth 1 -maxdepth 1 ! -path "$kernel" -exec rm -rf {} +
    rm -rf "$kernel/modules" && mkdir -p "$kernel/modules"
    scratch=$(mktemp -d "$kernel_cache/scratch.XXXXXX")
    download "$scratch" "linux-image-$abi-amd64=$version"
    depends_of() { strings "$kernel/modules/$1.ko" | sed -n 's/^depends=//p' | tr , ' '; }
    # Each module names its dependencies: extract them a generation at a time.
    wanted=("${roots[@]}")
    while [ ${#wanted[@]} -gt 0 ]; do
        patterns=()
        for module in "${wanted[@]}"; do patterns+=("*/$module.ko"); done
        dpkg-deb --fsys-tarfile "$scratch"/linux-image-*.deb | tar -x -C "$scratch" --wildcards "${patterns[@]}" ||
            fail "modules ${wanted[*]} not in linux-image-$abi-amd64"
        for module in "${wanted[@]}"; do find "$scratch/lib" -name "$module.ko" -exec cp {} "$kernel/modules/" \;; done
        next=()
        for module in "${wanted[@]}"; do
            for dependency in $(depends_of "$module"); do
                [ -f "$kernel/modules/$dependency.ko" ] || [[ " ${next[*]} " == *" $dependency "* ]] || next+=("$dependency")
            done
        done
        wanted=("${next[@]}")
    done
    # Each module is loaded after the modules it depends on.
    ordered=()
    visit() {
        [[ " ${ordered[*]} " != *" $1 "* ]] || return 0
        local dependency
        for dependency in $(depends_of "$1"); do visit "$dependency"; done
        ordered+=("$1")
    }
    for module in "${roots[@]}"; do visit "$module"; done
    dpkg-deb --fsys-tarfile "$scratch"/linux-image-*.deb | tar -x -O --wildcards './boot/vmlinuz-*' >"$kernel/vmlinuz" ||
        fail "no kernel in linux-image-$abi-amd64"
    rm -rf "$scratch"
    printf '%s\n' "${ordered[@]}" >"$kernel/modules/order"
}

# vidtv, built out of tree from Debian's source of the same kernel against its headers, with
# tests/kernel/vidtv-isdbt.patch applied (ISDB-T and its layers, when the demodulator's isdbt
# parameter asks for them). The patch's digest, kept beside the modules, keys the build.
vidtv_patch=$top/tests/kernel/vidtv-isdbt.patch
has_vidtv() {
    [ -f "$kernel/vidtv/dvb-vidtv-bridge.ko" ] &&
        [ "$(cat "$kernel/vidtv/patch.sha256" 2>/dev/null)" = "$(sha256sum <"$vidtv_patch")" ]
}
build_vidtv() {
    local headers tools package
    scratch=$(mktemp -d "$kernel_cache/scratch.XXXXXX")
    headers=("linux-headers-$abi-amd64=$version" "linux-headers-$abi-common=$version" "linux-kbuild-$series=$version")
    download "$scratch" "${headers[@]}" "linux-source-$series=$version"
    tools=$(apt-cache depends "${headers[@]%=*}" | sed -n 's/^ *Depends: //p' | grep -v -e '^linux-headers-' -e '^linux-kbuild-' | sort -u)
    install_packages $tools
    for package in "$scratch"/linux-headers-*.deb "$scratch"/linux-kbuild-*.deb; do dpkg-deb -x "$package" "$scratch/root"; done
    # The headers name their common half by its installed path; here it lies in the scratch root.
    sed -i "s|^include /usr/src/|include $scratch/root/usr/src/|" "$scratch/root/usr/src/linux-headers-$abi-amd64/Makefile"
    dpkg-deb --fsys-tarfile "$scratch"/linux-source-*.deb | tar -x -O "./usr/src/linux-source-$series.tar.xz" |
        xz -d -c | tar -x -C "$scratch" --strip-components=4 "linux-source-$series/drivers/media/test-drivers/vidtv" ||
        fail "no vidtv in linux-source-$series"
    patch -s -N -d "$scratch/vidtv" -p5 <"$vidtv_patch" || fail "$vidtv_patch does not apply to linux-source-$series"
    make -s -C "$scratch/root/usr/src/linux-headers-$abi-amd64" M="$scratch/vidtv" CONFIG_DVB_VIDTV=m modules ||
        fail "vidtv did not build"
    mkdir -p "$kernel/vidtv.tmp" && cp "$scratch"/vidtv/*.ko "$kernel/vidtv.tmp/"
    sha256sum <"$vidtv_patch" >"$kernel/vidtv.tmp/patch.sha256"
    rm -rf "$scratch" "$kernel/vidtv"
    mv "$kernel/vidtv.tmp" "$kernel/vidtv"
}

# $kernel: the cached kernel (vmlinuz), its modules (modules/, loaded in modules/order) and vidtv (vidtv/).
prepare_kernel() {
    install_packages qemu-system-x86 busybox-static make xz-utils binutils cpio patch
    kernel_cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorvex-kernel
    look_up_kernel
    if ! has_modules || ! has_vidtv; then
        apt-get update -q # what is downloaded must still be on the mirror
        look_up_kernel
    fi
    echo "$stage: kernel $abi-amd64 $version"
    has_modules || fetch_kernel
    has_vidtv || build_vidtv
}

# The initramfs, DIRECTORY/initramfs.cpio.gz: busybox, the init script and the modules.
make_initramfs() { # directory
    rm -rf "$1/initramfs" && mkdir -p "$1/initramfs/bin" "$1/initramfs/modules"
    cp /bin/busybox "$1/initramfs/bin/busybox" && ln -s busybox "$1/initramfs/bin/sh"
    cp "$top/tests/kernel/init" "$1/initramfs/init"
    cp "$kernel"/modules/*.ko "$kernel/modules/order" "$1/initramfs/modules/"
    (cd "$1/initramfs" && mkdir -p proc sys dev && find . | cpio -o -H newc --quiet | gzip -1) >"$1/initramfs.cpio.gz"
}

machine() { # seconds, accelerator, initramfs, extra kernel arguments, QEMU's options...: boots the
    #         virtual machine, its console on standard output
    timeout -k 10 "$1" qemu-system-x86_64 -accel "$2" -m 1024 -smp 2 -nodefaults -no-reboot \
        -display none -serial stdio -monitor none \
        -device isa-debug-exit,iobase=0xf4,iosize=0x04 \
        -kernel "$kernel/vmlinuz" -initrd "$3" -append "console=ttyS0 quiet panic=-1 $4" "${@:5}" </dev/null
}

# $accel: KVM where it works; a nested or restricted /dev/kvm can hang in early boot, so a boot
# that only leaves at once decides.
choose_accelerator() { # initramfs
    local probe=0
    accel=tcg
    if [ -w /dev/kvm ]; then
        machine 10 kvm "$1" QUORVEX_PROBE=1 >/dev/null 2>&1 || probe=$?
        if [ "$probe" = 1 ]; then accel=kvm; fi
    fi
}

# Boots the machine for its job, which leaves with its result: passes when the job passed, fails
# loudly otherwise. The console (WORK/console.log) and what the job left in WORK/out are kept in
# build/artefacts/NAME.
run_job() { # name, work, seconds, extra kernel arguments, QEMU's options...
    local status=0 started=$SECONDS artefacts=build/artefacts/$1
    machine "$3" "$accel" "$2/initramfs.cpio.gz" "$4" "${@:5}" | tee "$2/console.log" || status=$?
    echo "$stage: the virtual machine ran $((SECONDS - started)) s"
    rm -rf "$top/$artefacts" && mkdir -p "$top/$artefacts"
    cp -r "$2/console.log" "$2"/out/. "$top/$artefacts/" 2>/dev/null || true
    case $status in
    1) echo "$stage: every check passed" ;;
    3) fail "a check failed ($artefacts/console.log)" ;;
    124 | 137) fail "the virtual machine did not finish in time ($artefacts/console.log)" ;;
    *) fail "the virtual machine ended without a result, exit code $status ($artefacts/console.log)" ;;
    esac
}
