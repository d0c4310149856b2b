# The two commands a user needs: `make run` and `make test`. Both do their own
# set-up (packages, Wine prefix) and build first; see README.md.
.PHONY: all build run test bench sheet bitmaps iso clean

all: build

build:
	@scripts/setup.sh
	@scripts/build.sh

run: build
	@scripts/run.sh

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
	@"$${ZEPH_BUILD:-build}/host/tools/bmpset" "$(ART)" "$(OUT)"

clean:
	-@scripts/harness.sh stop >/dev/null 2>&1
	rm -rf build
