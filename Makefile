# Kestrelgrove: the two set-up commands are `make demo` and `make check`.
.PHONY: demo check bench build dist clean preview

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

build:
	scripts/deps.sh
	scripts/build.sh native windows

clean:
	rm -rf build
