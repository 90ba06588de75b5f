"""The build backend behind `pip install ./clients/python`: makes the wheel (and the source
archive) of the module oculant_client with nothing but the standard library, so that the build
downloads nothing.

In the source tree oculant_client reads its version from the CMake project; the build writes the
version it read into the packaged module in place of that lookup, so an installed copy (and a
wheel built from the source archive) carries it without the source tree.
"""

import ast
import base64
import hashlib
import io
import os
import tarfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
MODULE = "oculant_client"
VERSION_LOOKUP = "__version__ = _project_version()\n"


def _read(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as stream:
        return stream.read()


def _project():
    """The [project] table of pyproject.toml. It holds only plain strings, which read as Python
    literals; tomllib is not in every Python this runs under."""
    table, section = {}, None
    for line in _read("pyproject.toml").splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line
        elif section == "[project]" and "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            table[key.strip()] = ast.literal_eval(value.strip())
    return table


def _module_source():
    """The module's text with its version written in, and that version."""
    path = os.path.join(HERE, MODULE + ".py")
    namespace = {"__file__": path, "__name__": "_oculant_client_source"}
    exec(compile(_read(MODULE + ".py"), path, "exec"), namespace)
    version = namespace["__version__"]
    if version == "unknown":
        raise RuntimeError("cannot tell the version: %s lies outside the bench's source tree "
                           "(no ../../CMakeLists.txt)" % HERE)
    source = _read(MODULE + ".py").replace(VERSION_LOOKUP, '__version__ = "%s"\n' % version)
    return source, version


def _metadata(version):
    project = _project()
    return ("Metadata-Version: 2.1\nName: %s\nVersion: %s\nSummary: %s\nRequires-Python: %s\n"
            % (project["name"], version, project["description"], project["requires-python"]))


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d\n" % (name, digest, len(data))


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    source, version = _module_source()
    info = "%s-%s.dist-info" % (MODULE, version)
    files = {
        MODULE + ".py": source,
        info + "/METADATA": _metadata(version),
        info + "/WHEEL": "Wheel-Version: 1.0\nGenerator: oculant_build\nRoot-Is-Purelib: true\n"
                         "Tag: py3-none-any\n",
    }
    record = "".join(_record_line(name, text.encode()) for name, text in files.items())
    files[info + "/RECORD"] = record + info + "/RECORD,,\n"
    name = "%s-%s-py3-none-any.whl" % (MODULE, version)
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, text in files.items():
            wheel.writestr(path, text.encode())
    return name


def build_sdist(sdist_directory, config_settings=None):
    source, version = _module_source()
    base = "%s-%s" % (MODULE, version)
    files = {"PKG-INFO": _metadata(version), MODULE + ".py": source,
             "pyproject.toml": _read("pyproject.toml"), "oculant_build.py": _read("oculant_build.py")}
    with tarfile.open(os.path.join(sdist_directory, base + ".tar.gz"), "w:gz",
                      format=tarfile.PAX_FORMAT) as archive:
        for name, text in files.items():
            data = text.encode()
            entry = tarfile.TarInfo(base + "/" + name)
            entry.size, entry.mode, entry.mtime = len(data), 0o644, int(time.time())
            archive.addfile(entry, io.BytesIO(data))
    return base + ".tar.gz"
