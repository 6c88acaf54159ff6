"""Runs a command on a clone of this repository inside a Debian 13 (trixie) chroot, so that the
project can be built and tested on Debian 13's own Python, Qt and PyQt6 from a Debian 12 machine.

    /usr/bin/python3 scripts/debian_chroot.py [--fresh] [--mirror URL] -- COMMAND [ARGS...]

As root, from the repository root. The root lives in build-debian13/root and is kept between runs
once complete; the clone (/work/shared_ui inside) is made afresh every run, at the working tree's
state: committed work, uncommitted changes and files not yet added (unless git ignores them).
Exits with the command's status, 128 + N when stopped by signal N, or 125 when it fails itself.
Standard library only: it runs on the host's /usr/bin/python3, before anything is installed."""
import argparse
import configparser
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

REPO = os.path.realpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
WORK = os.path.join(REPO, "build-debian13")
ROOT = os.path.join(WORK, "root")
SUITE = "trixie"
KEYRING = "/usr/share/keyrings/debian-archive-keyring.gpg"
# What a clone and scripts/install-deps.sh need beyond minbase.
INCLUDE = ["ca-certificates", "git"]
# Written last by a bootstrap that succeeded; it records what was asked for, so that asking for
# something else makes the root afresh too.
MARKER = os.path.join(ROOT, ".debian_chroot-complete")
CLONE = "/work/shared_ui"
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"

# The package clients' settings that make them work on this machine: pip's and npm's whole
# files, apt's files only where they set how it fetches (Acquire::), never its credentials.
PIP_CONFIGS = ["/etc/pip.conf", "/etc/xdg/pip", "/root/.config/pip", "/root/.pip"]
NPM_CONFIGS = ["/root/.npmrc", "/etc/npmrc", "/usr/etc/npmrc"]
APT_CONFIG_DIR = "/etc/apt/apt.conf.d"
LOCAL_CAS = "/usr/local/share/ca-certificates"
# Variables the command gets from ours: pip's and npm's settings, proxies, and where the trust
# store is (SSL_CERT_FILE, REQUESTS_CA_BUNDLE, NODE_EXTRA_CA_CERTS, GIT_SSL_CAINFO, ...).
PASSED = re.compile(r"^(PIP_|npm_config_|NPM_CONFIG_)|^(http|https|ftp|no|all)_proxy$|"
                    r"CERT|CA_BUNDLE|CAINFO|SSL|^(TERM|CI)$", re.IGNORECASE)


class Failure(Exception):
    """This script's own failure, told plainly; the run exits 125."""


class Interrupted(BaseException):
    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


child = None  # the process running now, which a signal to us is passed on to


def on_signal(signum, frame):
    if child is not None and child.poll() is None:
        try:
            child.send_signal(signum)
        except ProcessLookupError:
            pass
    raise Interrupted(signum)


def say(message):
    print(f"debian_chroot: {message}", file=sys.stderr, flush=True)


def run(command, check=True, quiet=False, **kwargs):
    """Runs command to its end; a signal to us goes to it as well, and we wait for it to stop
    before going on to clean up, so that nothing is still writing below the root then."""
    global child
    if quiet:
        kwargs.setdefault("stdout", subprocess.PIPE)
        kwargs.setdefault("stderr", subprocess.STDOUT)
        kwargs.setdefault("text", True)
    child = subprocess.Popen(command, **kwargs)
    try:
        output, _ = child.communicate()
    except Interrupted:
        try:
            child.wait(timeout=20)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
        raise
    finally:
        process, child = child, None
    if check and process.returncode != 0:
        shown = f":\n{output.rstrip()}" if quiet and output else ""
        raise Failure(f"{' '.join(command)} exited {process.returncode}{shown}")
    return process.returncode, output


def capture(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if done.returncode != 0:
        raise Failure(f"{' '.join(command)} exited {done.returncode}:\n{done.stderr.rstrip()}")
    return done.stdout.strip()


def inside(path):
    return os.path.join(ROOT, path.lstrip("/"))


# Mounts

def unescape(field):
    return re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), field)


def mounts_below(path):
    """Mount points at or below path, in the order they were mounted."""
    found = []
    with open("/proc/self/mountinfo") as mountinfo:
        for line in mountinfo:
            point = unescape(line.split()[4])
            if point == path or point.startswith(path + "/"):
                found.append(point)
    return found


def processes_in_root():
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            root = os.readlink(f"/proc/{entry}/root")
        except OSError:
            continue
        if root == ROOT or root.startswith(ROOT + "/"):
            found.append(int(entry))
    return found


def stop_processes_in_root():
    """A command can leave daemons behind in the chroot (an agent that a tool started, a server
    a test forgot): they keep its mounts busy, and they are ours to end."""
    for signum in (signal.SIGTERM, signal.SIGKILL):
        pids = processes_in_root()
        if not pids:
            return
        say(f"ending {len(pids)} process(es) left in the chroot: "
            f"{' '.join(map(str, pids))}")
        for pid in pids:
            try:
                os.kill(pid, signum)
            except ProcessLookupError:
                pass
        for _ in range(50):
            if not processes_in_root():
                return
            time.sleep(0.1)
    if processes_in_root():
        say(f"processes still run in {ROOT}: {processes_in_root()}")


def unmount(points):
    """Every one of points, going on past any that fails: the check that follows tells."""
    for point in points:
        code, output = run(["umount", point], check=False, quiet=True)
        if code != 0:
            # Busy although nothing runs in the chroot any more: detach it, so that the root
            # can go, and say so.
            say(f"umount {point} failed ({output.strip()}); detaching it lazily")
            run(["umount", "--lazy", point], check=False)


def clean_up_mounts():
    """Whatever is mounted below the root, by an earlier run that was killed, by debootstrap
    stopped half way, or by the command itself; then nothing may be left."""
    stop_processes_in_root()
    unmount(reversed(mounts_below(ROOT)))
    left = mounts_below(ROOT)
    if left:
        raise Failure("still mounted below the root after cleaning up:\n  " + "\n  ".join(left))


class Mounts:
    """What a build and the tests need of the kernel's file systems, each mount private, so that
    nothing mounted below it reaches the host's /dev (or the other way round)."""

    def __init__(self):
        self.made = []

    def mount(self, target, *args):
        point = inside(target)
        os.makedirs(point, exist_ok=True)
        run(["mount", *args, point], quiet=True)
        self.made.append(point)
        run(["mount", "--make-private", point], quiet=True)

    def bind(self, source, target, read_only=False):
        self.mount(target, "--bind", source)
        if read_only:
            run(["mount", "-o", "remount,bind,ro", inside(target)], quiet=True)

    def mount_all(self):
        self.mount("/proc", "-t", "proc", "-o", "nosuid,nodev,noexec", "proc")
        self.mount("/sys", "-t", "sysfs", "-o", "ro,nosuid,nodev,noexec", "sysfs")
        self.bind("/dev", "/dev")
        self.bind("/dev/pts", "/dev/pts")
        self.mount("/dev/shm", "-t", "tmpfs", "-o", "nosuid,nodev,mode=1777", "tmpfs")
        # A /tmp of its own each run: what tests leave there goes with it, not into the root.
        self.mount("/tmp", "-t", "tmpfs", "-o", "nosuid,nodev,mode=1777", "tmpfs")

    def unmount_all(self):
        stop_processes_in_root()
        unmount(reversed(self.made))
        self.made.clear()


# The root

def wanted(mirror):
    return f"suite={SUITE} variant=minbase include={','.join(INCLUDE)} mirror={mirror}\n"


def complete(mirror):
    try:
        with open(MARKER) as marker:
            return marker.read() == wanted(mirror)
    except FileNotFoundError:
        return False


def check_archive(mirror):
    url = f"{mirror.rstrip('/')}/dists/{SUITE}/InRelease"
    try:
        with urllib.request.urlopen(urllib.request.Request(url, method="HEAD"), timeout=30):
            pass
    except (urllib.error.URLError, OSError) as error:
        raise Failure(f"cannot reach Debian's archive at {url} ({error}): debootstrap needs it; "
                      "is there a network, or is --mirror right?") from None


def bootstrap(mirror):
    debootstrap = shutil.which("debootstrap", path=f"{os.environ.get('PATH', '')}:/usr/sbin:/sbin")
    if debootstrap is None:
        raise Failure("debootstrap is not installed: apt-get install debootstrap")
    if not os.path.exists(KEYRING):
        raise Failure(f"{KEYRING} is missing, with which debootstrap checks the archive's "
                      "signature: apt-get install debian-archive-keyring")
    check_archive(mirror)
    if os.path.lexists(ROOT):
        # The marker goes first: a removal cut short must not leave a root that looks complete.
        if os.path.exists(MARKER):
            os.remove(MARKER)
        started = time.monotonic()
        say(f"removing the earlier root in {ROOT}")
        # --one-file-system: should anything still be mounted below it, rm leaves it alone.
        run(["rm", "-rf", "--one-file-system", ROOT], quiet=True)
        say(f"removed in {time.monotonic() - started:.1f} s")
    log = os.path.join(WORK, "debootstrap.log")
    say(f"debootstrap {SUITE} into {ROOT} (its output: {log})")
    with open(log, "w") as output:
        code, _ = run([debootstrap, "--variant=minbase", f"--include={','.join(INCLUDE)}",
                       f"--keyring={KEYRING}", SUITE, ROOT, mirror],
                      check=False, stdout=output, stderr=subprocess.STDOUT)
    if code != 0:
        with open(log) as output:
            tail = output.readlines()[-15:]
        detail = inside("/debootstrap/debootstrap.log")
        raise Failure(f"debootstrap exited {code}; its last lines:\n{''.join(tail).rstrip()}"
                      + (f"\n(more in {detail})" if os.path.exists(detail) else ""))

    security = f"{mirror.rstrip('/')}-security"
    write(inside("/etc/apt/sources.list.d/debian.sources"),
          f"Types: deb\nURIs: {mirror}\nSuites: {SUITE} {SUITE}-updates\nComponents: main\n"
          f"Signed-By: {KEYRING}\n\n"
          f"Types: deb\nURIs: {security}\nSuites: {SUITE}-security\nComponents: main\n"
          f"Signed-By: {KEYRING}\n")
    if os.path.exists(inside("/etc/apt/sources.list")):
        os.remove(inside("/etc/apt/sources.list"))
    # Packages that come with a service must not start it here, on the host's kernel.
    write(inside("/usr/sbin/policy-rc.d"), "#!/bin/sh\nexit 101\n", mode=0o755)
    # A root that is made again whenever in doubt need not survive a power cut, so dpkg need not
    # sync every file of the hundreds of packages it unpacks.
    write(inside("/etc/dpkg/dpkg.cfg.d/unsafe-io"), "force-unsafe-io\n")
    write(MARKER, wanted(mirror))


def write(path, text, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if os.path.islink(path):
        os.remove(path)
    with open(path, "w") as file:
        file.write(text)
    os.chmod(path, mode)


def copy(path):
    """The host's file or folder at the same place inside, replacing what was there. Only
    regular files and folders, and none of the kernel's: a setting that names /dev/null (pip's
    way to read no configuration) must not replace the root's /dev/null, nor, once /dev is
    bound in, the host's."""
    target = inside(path)
    if not (os.path.isfile(path) or os.path.isdir(path)) \
            or re.match(r"/(dev|proc|sys|run|tmp)(/|$)", os.path.normpath(path)) \
            or any(target == point or target.startswith(point + "/")
                   for point in mounts_below(ROOT)):
        return False
    os.makedirs(os.path.dirname(target), exist_ok=True)
    if os.path.isdir(target) and not os.path.islink(target):
        shutil.rmtree(target)
    elif os.path.lexists(target):
        os.remove(target)
    if os.path.isdir(path):
        shutil.copytree(path, target, symlinks=True)
    else:
        shutil.copy2(path, target)
    return True


# Setup

def contents(folder):
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            with open(path, "rb") as file:
                found[os.path.relpath(path, folder)] = file.read()
    return found


def trust_store():
    """The machine's own certificate authorities join trixie's: apt, pip, npm and git inside
    then trust whatever this machine's network presents as it does. Rebuilding the store takes
    seconds, so only when they changed."""
    if contents(LOCAL_CAS) == contents(inside(LOCAL_CAS)):
        return
    if os.path.isdir(LOCAL_CAS):
        copy(LOCAL_CAS)
    else:
        shutil.rmtree(inside(LOCAL_CAS), ignore_errors=True)
        os.makedirs(inside(LOCAL_CAS))
    in_chroot(["update-ca-certificates"])


def client_settings():
    copied = []
    for path in PIP_CONFIGS + NPM_CONFIGS + [os.environ.get("PIP_CONFIG_FILE", "")]:
        if path and os.path.exists(path) and copy(path):
            copied.append(path)
    for name in sorted(os.listdir(APT_CONFIG_DIR)):
        path = os.path.join(APT_CONFIG_DIR, name)
        with open(path, errors="replace") as file:
            if re.search(r"^\s*Acquire\b", file.read(), re.MULTILINE) and copy(path):
                copied.append(path)
    with open("/etc/resolv.conf") as resolv:
        write(inside("/etc/resolv.conf"), resolv.read())
    return copied


def pip_settings():
    """Every value of pip's settings, from its files and from PIP_* variables."""
    values = [value for name, value in os.environ.items() if name.startswith("PIP_")]
    files = []
    for path in PIP_CONFIGS + [os.environ.get("PIP_CONFIG_FILE", "")]:
        if os.path.isdir(path):
            files += [os.path.join(path, name) for name in os.listdir(path)
                      if name.endswith(".conf")]
        elif path and os.path.isfile(path):
            files.append(path)
    for path in files:
        config = configparser.RawConfigParser()
        try:
            config.read(path)
        except configparser.Error:
            continue
        values += [value for section in config.sections()
                   for value in config[section].values()]
    return values


def local_sources():
    """pip's settings here may name folders on this disk (find-links, a file:// index) or files
    (a constraints file); they are to be seen at the same place inside, so that the settings
    mean there what they mean here. Files are copied now, unless the root has them already (the
    trust store a variable names); the folders are returned, to be bound in read-only. An
    index's pages link to files beside its simple/ folder, so an index brings its parent."""
    folders = set()
    for value in pip_settings():
        for token in value.split():
            path = urllib.parse.unquote(urllib.parse.urlparse(token).path) \
                if token.startswith("file:") else token
            if not path.startswith("/") or path.startswith(REPO + "/"):
                continue
            path = os.path.normpath(path)
            if os.path.isdir(path):
                folders.add(os.path.dirname(path) if os.path.basename(path) == "simple" else path)
            elif os.path.isfile(path) and not os.path.exists(inside(path)):
                copy(path)
    return sorted(folder for folder in folders
                  if not any(folder.startswith(other + "/") for other in folders))


def trust_files():
    """Files and folders the trust variables name that trixie has no counterpart of (pip's and
    npm's variables are settings, see local_sources)."""
    for name, value in os.environ.items():
        if PASSED.search(name) and not re.match(r"PIP_|npm_config_", name, re.IGNORECASE) \
                and value.startswith("/") and os.path.exists(value) \
                and not os.path.exists(inside(value)):
            copy(value)


def environment():
    env = {name: value for name, value in os.environ.items() if PASSED.search(name)}
    env.update(PATH=PATH, HOME="/root", USER="root", LOGNAME="root", SHELL="/bin/bash",
               LANG="C.UTF-8", DEBIAN_FRONTEND="noninteractive")
    return env


def in_chroot(command, cwd="/", **kwargs):
    def enter():
        os.chroot(ROOT)
        os.chdir(cwd)
    return run(command, env=environment(), preexec_fn=enter, quiet=True, **kwargs)


# The clone

def git(*args, **kwargs):
    return capture(["git", "-c", f"safe.directory={REPO}", "-C", REPO, *args], **kwargs)


def snapshot():
    """A commit of the working tree as it is, made without touching the index, the tree or any
    ref: the index is copied, the copy takes every change and every file git does not ignore,
    and the commit is left dangling (git's gc takes it in time). HEAD itself when nothing
    differs."""
    head = git("rev-parse", "--verify", "HEAD")
    with tempfile.TemporaryDirectory() as scratch:
        index = os.path.join(scratch, "index")
        shutil.copy2(os.path.join(REPO, git("rev-parse", "--git-path", "index")), index)
        env = dict(os.environ, GIT_INDEX_FILE=index)
        git("add", "--all", env=env)
        tree = git("write-tree", env=env)
        changed = git("diff", "--cached", "--name-status", "HEAD", env=env)
    if tree == git("rev-parse", "HEAD^{tree}"):
        return head, []
    who = {"NAME": "debian_chroot", "EMAIL": "debian_chroot@localhost"}
    env = dict(os.environ, **{f"GIT_{role}_{key}": value
                              for role in ("AUTHOR", "COMMITTER") for key, value in who.items()})
    commit = git("commit-tree", tree, "-p", head, "-m", "The working tree", env=env)
    return commit, changed.splitlines()


def clone():
    commit, changed = snapshot()
    target = inside(CLONE)
    if os.path.lexists(target):
        shutil.rmtree(target)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    run(["git", "clone", "--quiet", "--no-checkout", REPO, target], quiet=True)
    run(["git", "-C", target, "fetch", "--quiet", REPO, commit], quiet=True)
    run(["git", "-C", target, "checkout", "--quiet", "--detach", commit], quiet=True)
    return commit, changed


# The run

def main():
    parser = argparse.ArgumentParser(
        description="Runs COMMAND in a clone of this repository inside a Debian 13 chroot.",
        usage="%(prog)s [--fresh] [--mirror URL] -- COMMAND [ARGS...]")
    parser.add_argument("--fresh", action="store_true",
                        help="make the root afresh even when a complete one is there")
    parser.add_argument("--mirror", default="http://deb.debian.org/debian",
                        help="Debian's archive (default %(default)s); its security updates "
                             "are looked for at the same address with -security appended")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no COMMAND given (after --)")

    if not sys.platform.startswith("linux"):
        raise Failure("a chroot needs Linux")
    if os.geteuid() != 0:
        raise Failure("must run as root (debootstrap, mount and chroot need it)")
    for tool in ("git", "mount", "umount"):
        if shutil.which(tool, path=f"{os.environ.get('PATH', '')}:/usr/sbin:/sbin") is None:
            raise Failure(f"{tool} is not installed")

    os.makedirs(WORK, exist_ok=True)
    lock = open(os.path.join(WORK, "lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        raise Failure(f"another run is using {ROOT}") from None

    mounts = Mounts()
    try:
        # A run that was killed leaves its mounts (and maybe processes): they go first, and the
        # root is removed or reused only once nothing is mounted below it any more.
        stale = mounts_below(ROOT)
        if stale:
            say(f"unmounting {len(stale)} mount(s) left by an earlier run: {' '.join(stale)}")
            clean_up_mounts()

        started = time.monotonic()
        if args.fresh or not complete(args.mirror):
            bootstrap(args.mirror)
            say(f"bootstrap: {time.monotonic() - started:.1f} s")
        else:
            say(f"bootstrap: reusing the complete root in {ROOT}")

        # Everything is copied in before anything is mounted, so that no copy can land in the
        # host's /dev through the root's.
        started = time.monotonic()
        copied = client_settings()
        trust_store()
        folders = local_sources()
        trust_files()
        commit, changed = clone()
        mounts.mount_all()
        for folder in folders:
            mounts.bind(folder, folder, read_only=True)
        say(f"setup: {time.monotonic() - started:.1f} s (settings from {', '.join(copied)}; "
            f"read-only: {', '.join(folders) or 'nothing'})")
        say(f"{CLONE} at {commit[:12]}"
            + (f", the working tree: {len(changed)} change(s) to HEAD" if changed else ", HEAD"))
        for line in changed:
            say(f"  {line}")

        started = time.monotonic()
        say(f"running in {CLONE}: {' '.join(command)}")

        def enter():
            os.chroot(ROOT)
            os.chdir(CLONE)
        try:
            code, _ = run(command, check=False, env=environment(), preexec_fn=enter)
        except FileNotFoundError:
            raise Failure(f"{command[0]}: not found inside the chroot") from None
        if code < 0:
            code = 128 - code
        say(f"command: exited {code} after {time.monotonic() - started:.1f} s")
        return code
    finally:
        # A second signal must not cut the unmounting short.
        for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(signum, signal.SIG_IGN)
        mounts.unmount_all()
        if mounts_below(ROOT):
            say("mounts this run did not make are left below the root: unmounting them")
            clean_up_mounts()


if __name__ == "__main__":
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, on_signal)
    try:
        sys.exit(main())
    except Failure as failure:
        say(f"error: {failure}")
        sys.exit(125)
    except Interrupted as interrupted:
        say(f"stopped by {signal.Signals(interrupted.signum).name}; mounts cleaned up")
        sys.exit(128 + interrupted.signum)
