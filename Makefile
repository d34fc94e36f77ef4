# The two commands users need: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
VST_DIR ?= $(HOME)/.vst

.PHONY: run test deps configure build install bench picture clean

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Installs the plug-in where Linux hosts look for VST 2.4 modules.
install: build
	mkdir -p "$(VST_DIR)"
	cp $(BUILD)/ZVX.so "$(VST_DIR)/ZVX.so"
	@echo "Installed $(VST_DIR)/ZVX.so"
	@printf "Data folder: " && $(BUILD)/tools/zvx-data install "$(CURDIR)/data"

# Ends with the demo groove rendered through the installed plug-in, program 0
# of the default bank.
run: install
	$(BUILD)/tools/zvx-render --quiet --plugin "$(VST_DIR)/ZVX.so" --program 0 -o "$(CURDIR)/demo.wav"

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The README's picture of the editor, drawn headless from a fresh default data
# folder; editor_tests compares the editor with it.
picture: build
	docs=$$(mktemp -d) && ZVX_DOCUMENTS=$$docs $(BUILD)/tools/zvx-data install $(BUILD)/data >/dev/null && \
	  ZVX_DOCUMENTS=$$docs $(BUILD)/tools/zvx-view --headless --plugin $(BUILD)/ZVX.so --screenshot docs/editor.png; \
	  status=$$?; rm -rf $$docs; exit $$status

bench: build
	$(BUILD)/bench/zvx_bench

clean:
	rm -rf $(BUILD)
