"""A simulated printer per test: zuvoecf-sim on a pseudo-terminal."""

import os
import shutil
import subprocess
import time

import pytest


def _simulador():
    return os.environ.get("ZUVOECF_SIM") or shutil.which("zuvoecf-sim")


class Simulador:
    def __init__(self, pasta, familia="Bematech"):
        self.porta = str(pasta / "ecf")
        self.papel_arquivo = pasta / "papel.txt"
        self._proc = subprocess.Popen(
            [_simulador(), familia, "--link", self.porta, "--paper", str(self.papel_arquivo),
             "--stdin"],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.islink(self.porta):
                return
            time.sleep(0.05)
        self.para()
        raise RuntimeError("o simulador não criou " + self.porta)

    def papel(self) -> str:
        """What the printer printed, decoded from its code page."""
        if not self.papel_arquivo.exists():
            return ""
        return self.papel_arquivo.read_bytes().decode("cp1252", errors="replace")

    def para(self):
        if self._proc.poll() is None:
            self._proc.stdin.close()
            try:
                self._proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()


@pytest.fixture
def sim(tmp_path):
    if not _simulador():
        pytest.skip("zuvoecf-sim não encontrado (defina ZUVOECF_SIM)")
    s = Simulador(tmp_path)
    yield s
    s.para()
