"""Cancels lumesta:pansharpen once lumesta-cli reports progress: the run ends as cancelled,
lumesta-cli has stopped, and neither the result nor the run's temporary folder is left.
Usage: python3 cancel.py PLUGIN_FOLDER SCENE_FOLDER OUTPUT_FOLDER"""

import glob
import os
import sys

from qgis.core import (QgsApplication, QgsProcessingContext, QgsProcessingFeedback,
                       QgsProcessingUtils)

plugins, scene, folder = sys.argv[1:4]
application = QgsApplication([], False)
application.initQgis()
sys.path[:0] = [plugins, '/usr/share/qgis/python/plugins']
from lumesta.provider import LumestaProvider  # noqa: E402 (after QGIS has started)

provider = LumestaProvider()
QgsApplication.processingRegistry().addProvider(provider)
algorithm = QgsApplication.processingRegistry().createAlgorithmById('lumesta:pansharpen')
class Feedback(QgsProcessingFeedback):
    errors = []

    def reportError(self, error, fatalError=False):  # noqa: N802 (QGIS's name)
        self.errors.append(error)


feedback = Feedback()
seen = []
feedback.progressChanged.connect(lambda percent: (seen.append(percent), feedback.cancel()))
os.mkdir(folder)
output = os.path.join(folder, 'fused.img')
parameters = {'PAN': os.path.join(scene, 'pan.img'), 'METHOD': 'glp-hpm', 'OUTPUT': output,
              'BMP': os.path.join(folder, 'fused.bmp'),
              'MS': [os.path.join(scene, band + '.img') for band in ('blue', 'green', 'red', 'nir')]}
results, finished = algorithm.run(parameters, QgsProcessingContext(), feedback)
failures = [] if not finished and feedback.errors == ['The run was cancelled.'] else \
    ['not cancelled: {} {}'.format(results, feedback.errors)]
if not seen:
    failures.append('no progress reached the feedback')
if os.listdir(folder):
    failures.append('files left: {}'.format(os.listdir(folder)))
if glob.glob(os.path.join(QgsProcessingUtils.tempFolder(), 'lumesta-*')):
    failures.append('the temporary folder of the run is left')
if glob.glob(os.path.join(scene, '*_Fused*')):
    failures.append('results beside the inputs')
print('\n'.join(failures) or 'cancelled without leaving a file')
sys.exit(1 if failures else 0)
