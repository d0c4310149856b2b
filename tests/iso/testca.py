"""Certificates of the tests' own, issued by openssl as an authority issues
them, each NAME.crt beside its key NAME.key."""
import os
import subprocess

CONFIG = """[ca]
default_ca = issuing
[issuing]
database = index.txt
new_certs_dir = .
default_md = sha256
policy = anyone
rand_serial = yes
[anyone]
commonName = supplied
[authority]
basicConstraints = critical,CA:TRUE
[codesigning]
extendedKeyUsage = codeSigning
crlDistributionPoints = URI:http://crl.tidewright.example/code.crl
[server]
extendedKeyUsage = serverAuth
"""


def issue(folder, name, issuer=None, profile="codesigning", start=None, end=None):
    """The path of a new certificate of CN=name, issued by the certificate
    named issuer or by itself, with profile's extensions, valid from start
    to end (YYYYMMDDHHMMSSZ) or for two days from now."""
    if not os.path.exists(os.path.join(folder, "ca.cnf")):
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "ca.cnf"), "w") as f:
            f.write(CONFIG)
        open(os.path.join(folder, "index.txt"), "w").close()
    for args in (["req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + name,
                  "-keyout", name + ".key", "-out", name + ".csr"],
                 ["ca", "-batch", "-config", "ca.cnf", "-notext", "-extensions", profile,
                  "-in", name + ".csr", "-out", name + ".crt", "-keyfile", (issuer or name) + ".key"]
                 + (["-cert", issuer + ".crt"] if issuer else ["-selfsign"])
                 + (["-startdate", start, "-enddate", end] if start else ["-days", "2"])):
        subprocess.run(["openssl"] + args, cwd=folder, check=True, capture_output=True)
    return os.path.join(folder, name + ".crt")
