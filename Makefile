# The two commands of the README: `make run` and `make check`.
JOBS ?= $(shell nproc)

.PHONY: all deps run check build-debug build-release clean

all: check

deps:
	@scripts/install-deps

build-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-debug: deps
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS)

run: build-release
	@exec build/release/app/korvane

check: deps
	@scripts/check-layers || exit 1; \
	start=$$(date +%s); \
	cmake --preset debug >/dev/null && cmake --build --preset debug -j $(JOBS) || exit 1; \
	built=$$(date +%s); \
	echo "build time: $$((built - start)) s"; \
	ctest --preset debug -j $(JOBS); rc=$$?; \
	echo "test time: $$(( $$(date +%s) - built )) s"; \
	exit $$rc

clean:
	rm -rf build
