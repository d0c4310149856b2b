# The two commands a user needs: `make run` and `make test`. Both do their own
# set-up (packages, Wine prefix) and build first; see README.md.
.PHONY: all build run test bench sheet clean

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

# A contact sheet of the generated image set, for a person to look at.
sheet: build
	@scripts/build.sh sheet

clean:
	-@scripts/harness.sh stop >/dev/null 2>&1
	rm -rf build
