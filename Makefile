# The two commands a user needs: `make run` and `make test`. Both do their own
# set-up (packages, Wine prefix) and build first; see README.md.
.PHONY: all build run test bench sheet bitmaps iso art-template disc proof clean

# The paths a disc author gives reach the scripts as environment variables,
# which neither make nor a shell splits at a space or reads again, and the
# scripts make them absolute: a relative one is taken from where the author
# runs make, also from elsewhere with make -C (which keeps the shell's PWD).
export ZEPH_CALLER_DIR := $(or $(PWD),$(CURDIR))
export IDENTITY ART FILES OUT DISC ISO SIGN_CERT SIGN_KEY SIGN_PASS_FILE SIGN_ROOT
export SIGN_PKCS11_MODULE SIGN_CMD FORCE

all: build

build:
	@scripts/setup.sh
	@scripts/build.sh

# make run DISC=folder [INSTALLED=1] runs that folder's launcher instead;
# INSTALLED=1 first writes the registry values its game's setup would.
run: $(if $(DISC),,build)
	@$(if $(DISC),scripts/setup.sh && scripts/wine-prefix.sh)
	@ZEPH_RUN_INSTALLED="$(INSTALLED)" scripts/run.sh $(if $(DISC),"$$DISC")

test: build
	@scripts/test.sh

bench: build
	@bench/run.sh

# The demo disc as an image to burn or publish, made with every build; or the
# image of any disc folder, checked (its pictures for the layout of its
# identity file), its programs signed when a certificate is given
# (docs/disc-authors.md):
#   make iso DISC=folder ISO=file [IDENTITY=file] [SIGN_CERT=chain.pem SIGN_KEY=key
#       | SIGN_CERT=file.pfx SIGN_PASS_FILE=file
#       | SIGN_CERT=chain.pem SIGN_KEY=pkcs11:URI SIGN_PKCS11_MODULE=module SIGN_PASS_FILE=pin
#       | SIGN_CMD="program arguments"] [SIGN_ROOT=roots.pem] [FORCE=1]
iso:
	@scripts/setup.sh
	@scripts/iso.sh "$$DISC" "$$ISO" "$$SIGN_CERT" "$$SIGN_KEY" "$$SIGN_PASS_FILE" "$$SIGN_ROOT" \
	    "$$SIGN_PKCS11_MODULE" "$$SIGN_CMD" "$$IDENTITY"

# A contact sheet of the generated image set, for a person to look at.
sheet: build
	@scripts/build.sh sheet

# The launcher's bitmaps from a disc author's PNG files, with bmpset, for the
# layout of the disc's identity file or the demo's (see docs/disc-authors.md):
#   make bitmaps ART=folder OUT=folder [IDENTITY=file] [FILL=1] [FORCE=1]
# This command, art-template, disc and iso write over no file of OUT that
# they did not write themselves, unchanged since, unless FORCE=1.
bitmaps:
	@if [ -z "$$ART" ] || [ -z "$$OUT" ]; then echo "usage: make bitmaps ART=folder OUT=folder [IDENTITY=file]" >&2; exit 2; fi
	@scripts/setup.sh
	@scripts/build.sh host bmpset
	@scripts/art.sh bitmaps "$$ART" "$$OUT" "$(FILL)" "$$IDENTITY"

# Starter art to paint over, and a guide to the window: the demo's pictures,
# or the demo's art at the places and sizes of the layout of an identity
# file (docs/disc-authors.md): make art-template [IDENTITY=file] OUT=folder [FORCE=1]
art-template:
	@if [ -z "$$OUT" ]; then echo "usage: make art-template [IDENTITY=file] OUT=folder" >&2; exit 2; fi
	@scripts/setup.sh
	@scripts/build.sh host arttemplate disc-art discart
	@scripts/art.sh template "$$OUT" "$$IDENTITY"

# A whole disc folder from an identity file, art and the author's files:
# make disc IDENTITY=file ART=folder FILES=folder OUT=folder [FILL=1] [FORCE=1]
# (ARCH=x86_64 makes one that a machine without 32-bit support can run).
disc:
	@if [ -z "$$IDENTITY" ] || [ -z "$$ART" ] || [ -z "$$FILES" ] || [ -z "$$OUT" ]; then \
	    echo "usage: make disc IDENTITY=file ART=folder FILES=folder OUT=folder [FILL=1]" >&2; exit 2; fi
	@scripts/setup.sh
	@scripts/disc.sh "$$IDENTITY" "$$ART" "$$FILES" "$$OUT" "$(or $(ARCH),i686)" "$(FILL)"

# Every state of a disc's launcher in one labelled picture, or a few seconds of
# it moving, taken from the real program (docs/disc-authors.md):
#   make proof [DISC=folder] [IDENTITY=file] OUT=file.png|file.gif [FORCE=1]
# (IDENTITY: the disc's identity file, whose layout it has; else the demo's)
proof: $(if $(DISC),,build)
	@scripts/setup.sh
	@scripts/proof.sh "$$DISC" "$$OUT" "$$FORCE" "$$IDENTITY"

clean:
	-@scripts/harness.sh stop >/dev/null 2>&1
	rm -rf build
