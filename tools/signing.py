"""Signing a disc's programs with Authenticode, and checking the signatures
as Windows checks them. The key may be

- a file: a PEM chain with its key, or a .pfx holding both;
- on a token or in a signing service's HSM, reached through PKCS#11: a
  pkcs11: URI, the module that reaches it, and the chain as PEM;
- a service's own: a command of its client that signs in place the file
  given as its last argument.

osslsigncode signs with the first two. A password's (or a PIN's) file is
read once here, and every tool is given the same bytes."""
import functools
import os
import re
import shlex
import subprocess
import time
from datetime import datetime, timezone
from typing import List, NamedTuple, Optional, Tuple

from discfolder import disc_files
from programs import LEFT, program_kind
from refused import Refused

# What Windows of each age verifies: 2000 and XP before SP3 a SHA-1
# signature only, current Windows no SHA-1 signature alone.
NESTED = ["SHA1", "SHA256"]
ALONE = ["SHA256"]


class Signer(NamedTuple):
    """osslsigncode's arguments for a key and the time its certificate
    starts, or the author's own signing command."""
    key: List[str]
    start: int
    command: List[str]


def read_password(path: str) -> bytes:
    """The password in a file, as every tool is to have it: a byte-order mark
    and the line end are no part of it, and a second line is refused, so
    that the file means one thing to all of them."""
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        raise Refused("%s is saved as UTF-16 (\"Unicode\"): save it as UTF-8" % path)
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    line, _, rest = data.partition(b"\n")
    if rest:
        raise Refused("%s holds a second line; a password's file holds the password alone" % path)
    return line[:-1] if line.endswith(b"\r") else line


def password_file(work: str, password: bytes) -> Optional[str]:
    """The password alone in a file of work's that only this user can read;
    None for no password."""
    if not password:
        return None
    path = os.path.join(work, "password")
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "wb") as f:
        f.write(password)
    return path


def openssl(args: List[str], failure: str, given: Optional[str] = None,
            module: Optional[str] = None) -> str:
    """What openssl writes for args, fed given, with a token's module;
    Refused with failure and its reason when it cannot."""
    env = dict(os.environ, PKCS11_MODULE_PATH=module) if module else None
    result = subprocess.run(["openssl"] + args, input=given or "", capture_output=True, text=True,
                            env=env)
    if result.returncode != 0:
        lines = [l for l in result.stderr.splitlines() if l.strip() and not l.startswith("Engine ")]
        raise Refused("%s: %s" % (failure, lines[0] if lines else "openssl failed"))
    return result.stdout


def signing_certificate(cert: str, key: Optional[str], password: Optional[str],
                        module: Optional[str]) -> str:
    """The certificate that signs, as PEM: in a .pfx the one it pairs with
    its key, in a chain the one whose public key is the key's, which for a
    key on a token the token tells."""
    passin = ["-passin", "file:" + password] if password else ["-passin", "pass:"]
    if key is None:
        # Windows of old exported .pfx files in ciphers OpenSSL 3 counts as legacy.
        return openssl(["pkcs12", "-legacy", "-in", cert, "-nokeys", "-clcerts"] + passin,
                       "%s cannot be opened %s" % (cert, "with the password given"
                                                   if password else "without a password"))
    with open(cert, "rb") as f:
        chain = [block.decode() for block in re.findall(
            rb"-----BEGIN CERTIFICATE-----.+?-----END CERTIFICATE-----", f.read(), re.S)]
    if not chain:
        chain = [openssl(["x509", "-inform", "DER", "-in", cert], "%s is no certificate" % cert)]
    if module:
        public = openssl(["pkey", "-engine", "pkcs11", "-inform", "ENGINE", "-in", key, "-pubout"]
                         + passin, "the token's key %s cannot be reached through %s%s" % (
                             key, module, "" if password else " (a token's key needs its PIN's "
                             "file)"), module=module)
    else:
        public = openssl(["pkey", "-in", key, "-pubout"] + passin,
                         "%s cannot be read as a private key%s" % (
                             key, "" if password else " (an encrypted one needs its password's "
                             "file)"))
    for certificate in chain:
        if openssl(["x509", "-noout", "-pubkey"], "%s holds a damaged certificate" % cert,
                   certificate) == public:
            return certificate
    raise Refused("%s holds no certificate of the key %s" % (cert, key))


def certificate_problem(certificate: str, now: float) -> Tuple[Optional[str], int]:
    """Why a certificate (PEM) cannot sign programs at the time now (None
    when it can), and when it starts."""
    text = openssl(["x509", "-noout", "-subject", "-nameopt", "RFC2253", "-dates", "-dateopt",
                    "iso_8601", "-ext", "keyUsage,extendedKeyUsage"], "a damaged certificate",
                   certificate)
    fields = dict(re.findall(r"^(subject|notBefore|notAfter)=(.*)$", text, re.M))
    uses = dict(re.findall(r"^X509v3 (Key Usage|Extended Key Usage):.*\n\s+(.+)$", text, re.M))
    start, end = (int(datetime.strptime(fields[f], "%Y-%m-%d %H:%M:%SZ")
                      .replace(tzinfo=timezone.utc).timestamp()) for f in ("notBefore", "notAfter"))
    whose = "the certificate of %s" % fields["subject"]
    # Without these extensions a certificate serves every use.
    extended = uses.get("Extended Key Usage", "Code Signing")
    if now < start:
        problem = "%s is not valid before %s" % (whose, fields["notBefore"])
    elif now > end:
        problem = "%s expired on %s" % (whose, fields["notAfter"])
    elif not {"Code Signing", "Any Extended Key Usage"} & set(extended.split(", ")):
        problem = "%s does not allow code signing (its extended key usage: %s)" % (whose, extended)
    elif "Digital Signature" not in uses.get("Key Usage", "Digital Signature").split(", "):
        problem = "%s does not allow signing (its key usage: %s)" % (whose, uses["Key Usage"])
    else:
        problem = None
    return problem, start


def signer(cert: Optional[str], key: Optional[str], pass_file: Optional[str],
           roots: Optional[str], module: Optional[str], command: Optional[str],
           work: str) -> Optional[Signer]:
    """How the author's programs are signed, None when they are not;
    Refused in one line when they cannot be."""
    on_token = key is not None and key.startswith("pkcs11:")
    for path in (cert, pass_file, roots, module, None if on_token else key):
        if path is not None and not os.path.isfile(path):
            raise Refused("%s is not a file" % path)
    if command is not None:
        if cert or key or pass_file or module:
            raise Refused("SIGN_CMD signs by itself: give no SIGN_CERT, SIGN_KEY, SIGN_PASS_FILE "
                          "or SIGN_PKCS11_MODULE beside it")
        try:
            words = shlex.split(command)
        except ValueError as e:
            raise Refused("SIGN_CMD=%s is not a program and its arguments: %s" % (command, e))
        if not words:
            raise Refused("SIGN_CMD is empty: it names the program that signs a file")
        return Signer([], 0, words)
    if cert is None:
        if key or pass_file or roots or module:
            raise Refused("a key, a password file, a module and roots serve signing: give the "
                          "certificate too")
        return None
    pkcs12 = cert.lower().endswith((".pfx", ".p12"))
    if pkcs12 and key is not None:
        raise Refused("%s holds its own key: give no key beside it" % cert)
    if not pkcs12 and key is None:
        raise Refused("signing with %s needs its private key" % cert)
    if module and not on_token:
        raise Refused("SIGN_PKCS11_MODULE serves a key on a token: give SIGN_KEY as its "
                      "pkcs11: URI (pkcs11:token=...;object=...)")
    if on_token and not module:
        raise Refused("the key %s is on a token: SIGN_PKCS11_MODULE names the PKCS#11 module that "
                      "reaches it" % key)
    password = password_file(work, read_password(pass_file) if pass_file else b"")
    certificate = signing_certificate(cert, key, password, module)
    problem, start = certificate_problem(certificate, time.time())
    if problem is not None:
        raise Refused("%s: %s; nothing is signed" % (cert, problem))
    # The password comes from its file, never from a command line that
    # every user of the machine can read.
    return Signer((["-pkcs12", cert] if pkcs12 else ["-certs", cert, "-key", key]) +
                  (["-pkcs11module", module] if module else []) +
                  (["-readpass", password] if password else []), start, [])


def osslsigncode_sign(args: List[str], path: str) -> str:
    """Signs path in place; what osslsigncode said when it could not."""
    result = subprocess.run(["osslsigncode", "sign"] + args + ["-in", path, "-out", path + ".signed"],
                            capture_output=True, text=True, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        if os.path.exists(path + ".signed"):
            os.remove(path + ".signed")
        return (result.stdout + result.stderr).strip()
    os.replace(path + ".signed", path)
    return ""


def sign_one(signing: Signer, path: str, relative: str, date: int) -> None:
    """Signs one program in place: twice, SHA-1 with SHA-256 nested in it,
    where the signer can; SHA-256 alone where it makes no SHA-1 signature."""
    if signing.command:
        # The author's paths in the command are theirs: from where they ran make.
        result = subprocess.run(signing.command + [path], capture_output=True, text=True,
                                stdin=subprocess.DEVNULL, cwd=os.environ.get("ZEPH_CALLER_DIR"))
        said = (result.stdout + result.stderr).strip()
        if result.returncode != 0:
            raise Refused("SIGN_CMD could not sign %s (%s ended with %d)%s" % (
                relative, signing.command[0], result.returncode, ": " + said if said else ""))
        if program_kind(path) != "signed PE":
            raise Refused("SIGN_CMD ended well, but left %s unsigned: it is to sign the file it "
                          "is given in place" % relative)
        return
    # The signing time is the image's date, so that signing twice gives the
    # same bytes, and never before the certificate starts; no time-stamp
    # server is asked (see disc-authors.md).
    when = ["-time", str(max(date, signing.start))]
    failure = osslsigncode_sign(signing.key + ["-h", "sha1"] + when, path)
    if failure:
        # Some services' HSMs refuse SHA-1; the image's check tells of a
        # program signed with SHA-256 alone.
        if not osslsigncode_sign(signing.key + ["-h", "sha256"] + when, path):
            return
    else:
        failure = osslsigncode_sign(signing.key + ["-nest", "-h", "sha256"] + when, path)
    if failure:
        raise Refused("osslsigncode could not sign %s: %s" % (relative, failure))


def sign(folder: str, signing: Signer, date: int) -> Tuple[List[str], List[str]]:
    """Signs in place every Portable Executable of the folder that carries
    no signature yet. The programs signed, and each other program with why
    it is left as it is."""
    signed, left = [], []
    for relative in disc_files(folder):
        path = os.path.join(folder, relative)
        kind = program_kind(path)
        if kind is None:
            continue
        if kind != "PE":
            left.append("%s, %s" % (relative, LEFT[kind]))
            continue
        sign_one(signing, path, relative, date)
        signed.append(relative)
    return signed, left


@functools.lru_cache(maxsize=None)
def revocation_option() -> List[str]:
    """osslsigncode from 2.6 on asks each certificate's authority whether it
    was revoked, which a machine off the Internet cannot; from 2.9 on it can
    be told not to, and before 2.6 it never asks. Windows asks as the
    program starts."""
    usage = subprocess.run(["osslsigncode", "--help"], capture_output=True, text=True)
    return ["-ignore-crl"] if "-ignore-crl" in usage.stdout + usage.stderr else []


class Verified(NamedTuple):
    problem: Optional[str]
    roots: str
    digests: List[str]
    times: List[datetime]


def verify(path: str, roots: Optional[str]) -> Verified:
    """What is wrong with the program's signatures as Windows checks them
    (problem None when nothing is): SHA-1 with SHA-256 nested in it, or
    SHA-256 alone, each holding for its bytes and chaining to roots, or to
    the machine's trusted ones, as of now (without a time stamp, Windows too
    checks the certificate at the time it looks); the roots osslsigncode
    used, and each signature's digest and signing time."""
    args = ["osslsigncode", "verify", "-in", path] + (["-CAfile", roots] if roots else [])
    result = subprocess.run(args + revocation_option(), capture_output=True, text=True,
                            stdin=subprocess.DEVNULL)
    output = result.stdout + result.stderr
    used = re.search(r"^CAfile: (.+)$", output, re.M)
    # Each signature is told from "Signature Index:" on; within it, 2.5 and
    # 2.9 each spell the digest's line twice, in two ways of their own.
    digests, times = [], []
    for told in re.split(r"^Signature Index:", output, flags=re.M)[1:]:
        digest = re.search(r"^\s*Message digest algorithm\s*:\s*(\S+)", told, re.M)
        when = re.search(r"^\s*Signing time:\s*(.+?)\s*$", told, re.M)
        digests.append(digest.group(1) if digest else "?")
        if when:
            times.append(datetime.strptime(when.group(1), "%b %d %H:%M:%S %Y GMT")
                         .replace(tzinfo=timezone.utc))
    problem = None
    if result.returncode != 0:
        reasons = dict.fromkeys(re.findall(r"Verify error: ?(.+)$", output, re.M))
        problem = "; ".join(reasons or [l for l in output.splitlines() if l.strip()][-3:])
    elif digests not in (NESTED, ALONE):
        problem = "its signatures are %s, not SHA-1 with SHA-256 nested in it, nor SHA-256 " \
            "alone" % " and ".join(digests)
    return Verified(problem, used.group(1) if used else roots or "osslsigncode's own", digests,
                    times)
