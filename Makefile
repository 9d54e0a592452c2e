# Kestrelgrove: the two set-up commands are `make demo` and `make check`.
.PHONY: demo check bench build dist clean preview fuzz

# `make fuzz SECONDS=3600`: each fuzz target in turn for that long.
SECONDS ?= 60

demo:
	scripts/demo.sh

check:
	scripts/check.sh

bench:
	scripts/bench.sh

# A publisher's tool: make preview DIR=path/to/toolbar-folder
preview:
	scripts/preview.sh "$(DIR)"

dist:
	scripts/dist.sh

fuzz:
	scripts/deps.sh
	scripts/build.sh native
	scripts/fuzz.sh $(SECONDS)

build:
	scripts/deps.sh
	scripts/build.sh native windows

clean:
	rm -rf build
