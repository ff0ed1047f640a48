"""Takes the user guide's screenshots of the Lumesta provider in QGIS: the Processing toolbox
with the fused WorldView-2 scene on the map, and the pan-sharpening dialog. Run inside QGIS,
under Xvfb, by tools/qgis_screenshots.sh; writes the PNG files into the folder named by
LUMESTA_SHOTS, then quits QGIS. LUMESTA_SCENE names the scene (pan.img, ms.img)."""

import os

from qgis.core import QgsProject, QgsRasterLayer
from qgis.PyQt.QtCore import QTimer
from qgis.utils import iface, plugins

import processing

SHOTS = os.environ['LUMESTA_SHOTS']
SCENE = os.environ['LUMESTA_SCENE']
steps = []


def step(function):
    steps.append(function)
    return function


def next_step():
    if steps:
        steps.pop(0)()
        QTimer.singleShot(1500, next_step)


def save(widget, name):
    widget.grab().save(os.path.join(SHOTS, name))


@step
def load_and_fuse():
    window = iface.mainWindow()
    window.resize(1280, 800)
    pan = QgsRasterLayer(os.path.join(SCENE, 'pan.img'), 'pan', 'gdal')
    ms = QgsRasterLayer(os.path.join(SCENE, 'ms.img'), 'ms', 'gdal')
    QgsProject.instance().addMapLayers([pan, ms])
    processing.runAndLoadResults('lumesta:pansharpen', {
        'PAN': pan, 'MS': [ms], 'METHOD': 'glp-hpm', 'SENSOR': 'worldview2',
        'OUTPUT': os.path.join(SHOTS, 'fused.tif')})
    for layer in (pan, ms):
        node = QgsProject.instance().layerTreeRoot().findLayer(layer.id())
        node.setItemVisibilityChecked(False)
        node.setExpanded(False)


@step
def show_toolbox():
    toolbox = plugins['processing'].toolbox
    toolbox.show()
    toolbox.raise_()
    toolbox.searchBox.setText('lumesta')
    iface.layerTreeView().expandAll()
    for node in QgsProject.instance().layerTreeRoot().findLayers():
        if node.layer().name() in ('pan', 'ms'):
            iface.layerTreeView().collapse(iface.layerTreeView().node2index(node))
    iface.mapCanvas().zoomToFullExtent()
    iface.mapCanvas().refresh()


@step
def shoot_window():
    save(iface.mainWindow(), 'qgis_toolbox.png')
    global dialog
    layers = {layer.name(): layer for layer in QgsProject.instance().mapLayers().values()}
    dialog = processing.createAlgorithmDialog('lumesta:pansharpen', {
        'PAN': layers['pan'], 'MS': [layers['ms']], 'METHOD': 'glp-hpm', 'SENSOR': 'worldview2',
        'OUTPUT': '/data/worldview2/fused.tif'})
    dialog.resize(900, 640)
    dialog.show()


@step
def shoot_dialog():
    save(dialog, 'qgis_dialog.png')
    dialog.close()


@step
def quit_qgis():
    os._exit(0)  # QGIS asks about the unsaved project when it quits its own way


dialog = None
QTimer.singleShot(3000, next_step)
