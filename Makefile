# Two commands on a fresh Debian 12 machine: `make run` and `make test`.
# Both install only the Debian packages that are missing, then build in build/.

SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES := cmake g++ make pkg-config libgtest-dev qt6-base-dev libxslt1-dev libxml2-dev \
            libjpeg-dev libsqlite3-dev chromium chromium-headless-shell fonts-dejavu-core xvfb \
            xdotool x11-apps curl ca-certificates openssl \
            librsvg2-bin help2man desktop-file-utils dpkg-dev file
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# Where `make install` puts the program; DESTDIR stages it elsewhere.
PREFIX ?= /usr/local
INSTALL_SUDO := $(shell [ "$$(id -u)" = 0 ] || [ -n "$(DESTDIR)" ] || [ -w "$(PREFIX)" ] || echo sudo)

.PHONY: run test deps build unit e2e screenshots clean install package

run: build
	$(BUILD)/vistrel

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@if [ -f tests/e2e/package.json ]; then $(MAKE) --no-print-directory e2e; fi

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing missing packages:" $$missing; \
	    $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
	@if [ -f tests/e2e/package.json ] && ! command -v npm >/dev/null; then \
	    $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y nodejs npm; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

e2e: build
	cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error
	cd tests/e2e && VISTREL_BINARY=$(CURDIR)/$(BUILD)/vistrel \
	    VISTREL_PAGEGEN=$(CURDIR)/$(BUILD)/tests/e2e/vistrel_pagegen node --test

install: build
	$(INSTALL_SUDO) env DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/vistrel_VERSION_ARCH.deb, for `apt install ./$(BUILD)/vistrel_*.deb`.
package: build
	cd $(BUILD) && cpack -G DEB

# The README's pictures, taken by the acceptance run.
screenshots: build
	cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error
	cd tests/e2e && VISTREL_BINARY=$(CURDIR)/$(BUILD)/vistrel VISTREL_SCREENSHOTS=$(CURDIR)/docs/screenshots \
	    node --test acceptance.test.mjs

clean:
	rm -rf $(BUILD)
