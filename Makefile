# The two set-up commands: `make run` and `make test`. Both install what they need first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
WIN := build/win64
HOST := build/host
FUZZ := build/fuzz

.PHONY: all deps build win64 host fuzz test run bench package clean

all: build

deps:
	@scripts/install-deps

win64: deps
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j$(JOBS)

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j$(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j$(JOBS)

build: win64 host fuzz

test: build
	scripts/run-tests

run: win64
	scripts/run-demo

bench: win64
	scripts/run-bench

package: win64
	scripts/package

clean:
	-cmake/wine-run $(WIN) --stop
	rm -rf build
