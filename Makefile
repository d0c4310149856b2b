# The two commands a user needs: `make run` and `make test`. Both do their own
# set-up (packages, Wine prefix) and build first; see README.md.
.PHONY: all build run test bench sheet bitmaps iso art-template disc proof clean

# Paths a disc author gives are taken from where they run make, also when
# they run it from elsewhere with make -C (which keeps the shell's PWD).
here := $(or $(PWD),$(CURDIR))
from_here = $(abspath $(if $(filter /%,$(1)),$(1),$(here)/$(1)))

all: build

build:
	@scripts/setup.sh
	@scripts/build.sh

# make run DISC=folder [INSTALLED=1] runs that folder's launcher instead;
# INSTALLED=1 first writes the registry values its game's setup would.
run: $(if $(DISC),,build)
	@$(if $(DISC),scripts/setup.sh && scripts/wine-prefix.sh)
	@ZEPH_RUN_INSTALLED="$(INSTALLED)" scripts/run.sh $(if $(DISC),"$(call from_here,$(DISC))")

test: build
	@scripts/test.sh

bench: build
	@bench/run.sh

# The demo disc as an image to burn or publish, made with every build; or the
# image of any disc folder, checked, its programs signed when a certificate is
# given (docs/disc-authors.md). Relative paths are the caller's:
#   make iso DISC=folder ISO=file [SIGN_CERT=cert SIGN_KEY=key]
iso:
	@scripts/setup.sh
	@ZEPH_CALLER_DIR="$(or $(PWD),$(CURDIR))" scripts/iso.sh "$(DISC)" "$(ISO)" "$(SIGN_CERT)" "$(SIGN_KEY)"

# A contact sheet of the generated image set, for a person to look at.
sheet: build
	@scripts/build.sh sheet

# The launcher's 91 bitmaps from a disc author's PNG files, with bmpset (see
# docs/disc-authors.md): make bitmaps ART=folder OUT=folder
bitmaps:
	@if [ -z "$(ART)" ] || [ -z "$(OUT)" ]; then echo "usage: make bitmaps ART=folder OUT=folder" >&2; exit 2; fi
	@scripts/setup.sh
	@scripts/build.sh host bmpset
	@"$${ZEPH_BUILD:-build}/host/tools/bmpset" $(if $(FILL),--fill-frames) "$(call from_here,$(ART))" "$(call from_here,$(OUT))"

# The demo's 91 pictures as PNG art to paint over, and a guide to the window
# (docs/disc-authors.md): make art-template OUT=folder
art-template:
	@if [ -z "$(OUT)" ]; then echo "usage: make art-template OUT=folder" >&2; exit 2; fi
	@scripts/setup.sh
	@scripts/build.sh host arttemplate disc-art
	@"$${ZEPH_BUILD:-build}/host/tools/arttemplate" "$${ZEPH_BUILD:-build}/host/disc-art/bitmaps" "$(call from_here,$(OUT))"

# A whole disc folder from an identity file, art and the author's files:
# make disc IDENTITY=file ART=folder FILES=folder OUT=folder [FILL=1]
# (ARCH=x86_64 makes one that a machine without 32-bit support can run).
disc:
	@if [ -z "$(IDENTITY)" ] || [ -z "$(ART)" ] || [ -z "$(FILES)" ] || [ -z "$(OUT)" ]; then \
	    echo "usage: make disc IDENTITY=file ART=folder FILES=folder OUT=folder [FILL=1]" >&2; exit 2; fi
	@scripts/setup.sh
	@scripts/disc.sh "$(call from_here,$(IDENTITY))" "$(call from_here,$(ART))" \
	    "$(call from_here,$(FILES))" "$(call from_here,$(OUT))" "$(or $(ARCH),i686)" "$(FILL)"

# Every state of a disc's launcher in one labelled picture, or a few seconds of
# it moving, taken from the real program (docs/disc-authors.md):
#   make proof [DISC=folder] OUT=file.png|file.gif [FORCE=1]
proof: $(if $(DISC),,build)
	@scripts/setup.sh
	@ZEPH_CALLER_DIR="$(or $(PWD),$(CURDIR))" scripts/proof.sh "$(DISC)" "$(OUT)" "$(FORCE)"

clean:
	-@scripts/harness.sh stop >/dev/null 2>&1
	rm -rf build
