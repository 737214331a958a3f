;;; eglot_client.el --- Emacs and eglot drive partsc --lsp  -*- lexical-binding: t; -*-
;; Opens a source with three mistakes (parts-mode comes from its content),
;; starts eglot on `partsc --lsp' and writes the diagnostics flymake shows,
;; one a line, to the file named by $PARTSC_OUT.
(require 'eglot)
(require 'flymake)
(require 'parts-mode)

(defun partsc-test-finish (lines code)
  (with-temp-file (getenv "PARTSC_OUT")
    (insert (mapconcat #'identity lines "\n") "\n"))
  (kill-emacs code))

(condition-case problem
    (let ((lines '()))
      (setq eglot-server-programs `((parts-mode . (,(getenv "PARTSC") "--lsp"))))
      (find-file (getenv "PARTSC_SOURCE"))
      (push (format "mode %s" major-mode) lines)
      (apply #'eglot (eglot--guess-contact))
      (flymake-mode 1)
      (with-timeout (20 (error "no diagnostics within 20 s"))
        (while (< (length (flymake-diagnostics)) 3)
          (accept-process-output nil 0.05)
          (flymake-start)))
      (dolist (d (sort (flymake-diagnostics)
                       (lambda (a b) (< (flymake-diagnostic-beg a) (flymake-diagnostic-beg b)))))
        (save-excursion
          (goto-char (flymake-diagnostic-beg d))
          (push (format "diagnostic %d:%d %s %s" (line-number-at-pos) (1+ (current-column))
                        (flymake-diagnostic-type d) (flymake-diagnostic-text d))
                lines)))
      (partsc-test-finish (nreverse lines) 0))
  (error (partsc-test-finish (list (format "error %S" problem)) 1)))
