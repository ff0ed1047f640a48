"""The Lumesta provider of the QGIS Processing toolbox."""


def classFactory(iface):  # noqa: N802 (the name QGIS calls)
    from .plugin import LumestaPlugin
    return LumestaPlugin(iface)
